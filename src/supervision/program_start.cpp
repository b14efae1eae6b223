#include "base/amule.h"
#include "base/paths.h"
#include "ui/main_form.h"

namespace hw {

bool MainForm::IsProcessRunning(const std::string& exeName) {
    return services.processes->IsProcessRunning(exeName);
}

void MainForm::LaunchProgram(const std::string& commandLine, bool reportFailure,
                             const std::vector<std::string>& arguments) {
    if (!services.starter->StartProgram(commandLine, arguments) && reportFailure) {
        ShowMessage(msg_app_not_started, msg_error_caption);
    }
}

bool MainForm::IsClientRunning() {
    const std::string folder = StripTrailingSeparatorKeepRoot(edit_clientdir.text());
    if (!IsAmuleConfigFolder(folder)) return !clientExe.empty() && IsProcessRunning(clientExe);
    // aMule's lock keeps a second program off one configuration; another configuration's aMule
    // is another client.
    for (const char* program : {kAmule, kAmuled}) {
        for (const std::vector<std::string>& arguments : services.processes->ArgumentsOf(program)) {
            if (SameFolder(AmuleConfigFolderOf(arguments), folder)) return true;
        }
    }
    return false;
}

void MainForm::LaunchClient() {
    const std::string folder = StripTrailingSeparatorKeepRoot(edit_clientdir.text());
    if (!IsAmuleConfigFolder(folder)) {
        LaunchProgram(AddTrailingSeparator(edit_clientdir.text()) + clientExe, false);
        return;
    }
    const std::string program = FindOnPath(clientExe);
    std::vector<std::string> arguments;
    if (!SameFolder(folder, DefaultAmuleConfigFolder()))
        arguments.push_back("--config-dir=" + folder);
    LaunchProgram(program.empty() ? clientExe : program, false, arguments);
}

void MainForm::BringMainWindowToFront() {
    services.window->BringMainWindowToFront();
}

}  // namespace hw
