#include "supervision/program_start.h"

#include "base/amule.h"
#include "base/paths.h"

namespace hw {

StartCommand ClientStartCommand(const std::string& clientFolder, const std::string& clientExe) {
    const std::string folder = StripTrailingSeparatorKeepRoot(clientFolder);
    if (!IsAmuleConfigFolder(folder)) return {AddTrailingSeparator(clientFolder) + clientExe, {}};
    const std::string program = FindOnPath(clientExe);
    StartCommand command{program.empty() ? clientExe : program, {}};
    if (!SameFolder(folder, DefaultAmuleConfigFolder())) {
        command.arguments.push_back("--config-dir=" + folder);
    }
    return command;
}

std::string AppRunnerProcessName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace hw
