#include "ui/main_form.h"

namespace hw {

bool MainForm::IsProcessRunning(const std::string& exeName) {
    return services.processes->IsProcessRunning(exeName);
}

void MainForm::LaunchProgram(const std::string& commandLine, bool reportFailure) {
    if (!services.starter->StartProgram(commandLine) && reportFailure) {
        ShowMessage(msg_app_not_started, msg_error_caption);
    }
}

void MainForm::BringMainWindowToFront() {
    services.window->BringMainWindowToFront();
}

}  // namespace hw
