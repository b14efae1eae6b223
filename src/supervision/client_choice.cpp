#include "supervision/client_choice.h"

#include "base/amule.h"
#include "base/paths.h"
#include "shell/file_system_facts.h"
#include "supervision/client_recognition.h"

namespace hw {

ClientRecognition RecognizeClient(ProcessTable& processes, const std::string& folder,
                                  const std::string& chosen, bool display) {
    if (const std::optional<std::string> found = FindWindowsClient(folder, chosen)) {
        return {*found, false};
    }
    const bool amule = HoldsExecutable(folder, kAmule);
    const bool amuled = HoldsExecutable(folder, kAmuled);
    if (amule || amuled || IsAmuleConfigFolder(folder)) {
        return {ChooseAmuleProgram(
                    AmuleProgramFactsOf(processes, folder, amule, amuled, chosen, display)),
                false};
    }
    // A program the user chose (or the settings file names) that is there still.
    if (!chosen.empty() && (HoldsExecutable(folder, chosen) || !FindOnPath(chosen).empty())) {
        return {chosen, false};
    }
    return {chosen, LooksLikeAbsolutePath(folder) && files::IsFolder(folder)};
}

bool ClientStartsWithProgram(ProcessTable& processes, const std::string& clientFolder,
                             const std::string& clientExe) {
    return !IsAmuleConfigFolder(StripTrailingSeparatorKeepRoot(clientFolder)) ||
           !FindClientRun(processes, clientFolder, clientExe).running;
}

}  // namespace hw
