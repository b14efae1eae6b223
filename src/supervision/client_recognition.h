// Which program is the client and whether it runs: a Windows client under Wine, whose file
// keeps its Windows name, or aMule, by its programs or by its configuration folder.
#pragma once

#include <optional>
#include <string>

#include "base/services.h"

namespace hw {

// The client program that the client folder's "*.exe" entries name: a known client's name (the
// one met last wins; the whole entry counts, folder included), or `chosen` when an entry holds
// it. Nothing when neither is found.
std::optional<std::string> FindWindowsClient(const std::string& folder, const std::string& chosen);

// The aMule program ("amule" or "amuled") that runs on this configuration folder, its process in
// `found`; with `doubtCounts` also one of our user's whose folder cannot be told. Empty when none
// does.
std::string AmuleRunningOn(ProcessTable& processes, const std::string& folder, bool doubtCounts,
                           ProcessInfo* found = nullptr);

// Whether the client runs: a process of its program, or for an aMule configuration folder either
// of aMule's programs on that configuration (or one of our user's whose configuration cannot be
// told).
struct ClientRun {
    bool running = false;
    // The aMule program found running on the configuration folder, and its process; empty for
    // any other client.
    std::string amuleProgram;
    ProcessInfo process;
};
// `clientFolder` as the user typed it.
ClientRun FindClientRun(ProcessTable& processes, const std::string& clientFolder,
                        const std::string& clientExe);

// What decides which of aMule's programs is the client.
struct AmuleProgramFacts {
    // Which programs the client folder holds; neither: it is a configuration folder.
    bool folderHoldsAmule = false;
    bool folderHoldsAmuled = false;
    // The program that runs on the configuration the folder serves; empty when none does.
    std::string running;
    // The user's choice so far (or the settings file's).
    std::string chosen;
    // Which programs PATH holds.
    bool amuleOnPath = false;
    bool amuledOnPath = false;
    // Programs started now can open windows.
    bool display = false;
};
// The facts for a folder of aMule's programs (`amule`, `amuled`: which it holds) or a
// configuration folder, from the processes and PATH.
AmuleProgramFacts AmuleProgramFactsOf(ProcessTable& processes, const std::string& folder,
                                      bool amule, bool amuled, const std::string& chosen,
                                      bool display);
// The program that runs on that configuration, else the user's choice, else the only one there
// is, else the one that suits the display.
std::string ChooseAmuleProgram(const AmuleProgramFacts& facts);

}  // namespace hw
