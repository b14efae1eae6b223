// The client program of a client folder as the user types it, and whether the client is started
// with the program: for the window's client folder field and its loader, and the command line.
#pragma once

#include <string>

#include "base/services.h"

namespace hw {

struct ClientRecognition {
    // The client program: a Windows client by the folder's "*.exe" entries, aMule's program for a
    // folder of aMule's programs or its configuration folder, else `chosen` as it was.
    std::string exe;
    // No client was recognised in this folder, and `chosen` is in neither it nor PATH: the user
    // is to choose the program.
    bool unknown = false;
};
// `display`: programs started now can open windows (see ChooseAmuleProgram).
ClientRecognition RecognizeClient(ProcessTable& processes, const std::string& folder,
                                  const std::string& chosen, bool display);

// False where aMule runs on the client folder as its configuration already: aMule refuses a
// second program on one configuration, so the start with the program is not even tried.
bool ClientStartsWithProgram(ProcessTable& processes, const std::string& clientFolder,
                             const std::string& clientExe);

}  // namespace hw
