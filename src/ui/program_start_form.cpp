// Starting programs from the window, and whether the client runs.
#include "base/amule.h"
#include "base/paths.h"
#include "supervision/client_recognition.h"
#include "supervision/observer.h"
#include "supervision/program_start.h"
#include "ui/main_form.h"
#include "ui/supervision_texts.h"

namespace hw {

bool MainForm::IsProcessRunning(const std::string& exeName) {
    return services.processes->IsProcessRunning(exeName);
}

void MainForm::LaunchProgram(const std::string& commandLine, bool reportFailure,
                             const std::vector<std::string>& arguments) {
    // The starts at program start name no program: the AppRunner's is its path alone.
    const Watched which = arguments.empty() && commandLine == edit_launchpad_path.text()
                              ? Watched::AppRunner
                              : Watched::Client;
    if (!supervision().Start(which, {commandLine, arguments}, SupervisionTools()) &&
        reportFailure) {
        ShowMessage(msg_app_not_started, msg_error_caption);
    }
}

std::string MainForm::AmuleRunningOn(const std::string& folder, bool doubtCounts,
                                     ProcessInfo* found) {
    return hw::AmuleRunningOn(*services.processes, folder, doubtCounts, found);
}

bool MainForm::IsClientRunning(std::string* blocker) {
    const ClientRun run = FindClientRun(*services.processes, edit_clientdir.text(), clientExe);
    if (run.running && blocker != nullptr && !run.amuleProgram.empty()) {
        *blocker = ClientBlockerText(CurrentLanguageCode(), run);
    }
    return run.running;
}

void MainForm::LaunchClient() {
    const StartCommand command = ClientStartCommand(edit_clientdir.text(), clientExe);
    LaunchProgram(command.program, false, command.arguments);
}

void MainForm::BringMainWindowToFront() {
    services.window->BringMainWindowToFront();
}

}  // namespace hw
