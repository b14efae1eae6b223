#include <unistd.h>

#include "base/amule.h"
#include "base/paths.h"
#include "supervision/restart_guard.h"
#include "ui/language.h"
#include "ui/main_form.h"

namespace hw {

bool MainForm::IsProcessRunning(const std::string& exeName) {
    return services.processes->IsProcessRunning(exeName);
}

void MainForm::LaunchProgram(const std::string& commandLine, bool reportFailure,
                             const std::vector<std::string>& arguments) {
    if (!services.starter->StartProgram(commandLine, arguments)) {
        if (reportFailure) ShowMessage(msg_app_not_started, msg_error_caption);
        return;
    }
    // The starts at program start name no program: the AppRunner's is its path alone.
    Supervision& watched = supervision();
    SupervisedProgram& program = watched.launching != nullptr ? *watched.launching
                                 : arguments.empty() && commandLine == edit_launchpad_path.text()
                                     ? watched.appRunner
                                     : watched.client;
    program.guard.Started(now());
    program.watch = services.starter->TakeEndWatch();
    EndWatchesChanged();
}

std::string MainForm::AmuleRunningOn(const std::string& folder, bool doubtCounts,
                                     ProcessInfo* found) {
    // aMule's lock keeps a second program off one configuration; another configuration's aMule
    // is another client, and so is another user's.
    const long ownUid = static_cast<long>(::getuid());
    for (const char* program : {kAmule, kAmuled}) {
        for (const ProcessInfo& process : services.processes->ProcessesOf(program)) {
            const FolderMatch match = AmuleRunsOn(process, folder);
            if (match == FolderMatch::Same ||
                (doubtCounts && match == FolderMatch::Unknown && process.uid == ownUid)) {
                if (found != nullptr) *found = process;
                return program;
            }
        }
    }
    return {};
}

bool MainForm::IsClientRunning(std::string* blocker) {
    const std::string folder = StripTrailingSeparatorKeepRoot(edit_clientdir.text());
    if (!IsAmuleConfigFolder(folder)) return !clientExe.empty() && IsProcessRunning(clientExe);
    // One of our user's processes whose configuration cannot be told may run on this one: a
    // restore under it would be overwritten, and a second start would be refused.
    ProcessInfo process;
    const std::string program = AmuleRunningOn(folder, true, &process);
    if (program.empty()) return false;
    if (blocker != nullptr) {
        *blocker = program + LanguageText(*this, TextId::ProcessNumberPrefix) +
                   std::to_string(process.pid);
        if (!process.user.empty()) {
            *blocker += LanguageText(*this, TextId::ProcessUserPrefix) + process.user;
        }
    }
    return true;
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
