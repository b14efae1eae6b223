// Every 10 seconds: restart the watched client and AppRunner program when no process of their
// name is left, then bring the auto-backup period in line with the minutes field. A program we
// started ourselves is also restarted as soon as its end watch tells that it has ended. Both ways
// go through the program's guard, which holds back one that ends right after each start.
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <utility>

#include "base/amule.h"
#include "base/app_title.h"
#include "base/paths.h"
#include "supervision/restart_guard.h"
#include "ui/language.h"
#include "ui/main_form.h"

namespace hw {

namespace {

// Lets go of the watch of a start that has ended, keeping it for its exit status.
bool RetireEndedWatch(SupervisedProgram& program) {
    if (!program.watch || !program.watch->Ended()) return false;
    program.ended = std::move(program.watch);
    return true;
}

// The start under way belongs to this program, also when the start throws.
class LaunchingScope {
  public:
    LaunchingScope(Supervision& all, SupervisedProgram& program) : all_(all) {
        all_.launching = &program;
    }
    ~LaunchingScope() { all_.launching = nullptr; }
    LaunchingScope(const LaunchingScope&) = delete;
    LaunchingScope& operator=(const LaunchingScope&) = delete;

  private:
    Supervision& all_;
};

// One program's step: started again when it is watched and gone, as far as its guard lets it.
void Supervise(Supervision& all, SupervisedProgram& program, std::time_t now, bool watched,
               const std::string& target, const std::function<bool()>& running,
               const std::function<void()>& start) {
    if (!watched) return;
    if (program.target != target) {
        program.guard.Reset();
        program.target = target;
        program.noticeDue = false;
    }
    // A start of ours that has not ended runs: no look at the process list needed.
    if (program.watch || running()) return;
    if (program.guard.Ended(now)) program.noticeDue = true;
    if (!program.guard.MayStart(now)) return;
    LaunchingScope scope(all, program);
    start();
}

// The user wants the program again: its ends so far no longer count. True when it was held back.
bool ForgetEnds(SupervisedProgram& program) {
    const bool held = program.guard.held();
    program.guard.Reset();
    program.noticeDue = false;
    return held;
}

// True when the process lives (perhaps as another user's) and is none of these.
bool LivesAndIsNoneOf(long pid, const std::vector<ProcessInfo>& processes) {
    if (pid <= 0 || (kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)) return false;
    for (const ProcessInfo& process : processes) {
        if (process.pid == pid) return false;
    }
    return true;
}

}  // namespace

Supervision& MainForm::supervision() {
    if (!supervision_) supervision_ = std::make_shared<Supervision>();
    return *supervision_;
}

void MainForm::EndWatchesChanged() {
    if (onEndWatchesChanged) onEndWatchesChanged();
}

std::vector<int> MainForm::EndWatchDescriptors() const {
    std::vector<int> descriptors;
    if (!supervision_) return descriptors;
    for (const SupervisedProgram* program : {&supervision_->client, &supervision_->appRunner}) {
        if (program->watch) descriptors.push_back(program->watch->descriptor());
    }
    return descriptors;
}

void MainForm::SuperviseClient() {
    Supervise(
        supervision(), supervision().client, now(), cb_watchclient.checked(),
        StripTrailingSeparatorKeepRoot(edit_clientdir.text()) + "\n" + clientExe,
        [this] { return IsClientRunning(); },
        [this] {
            LaunchClient();
            BringMainWindowToFront();
        });
}

void MainForm::SuperviseAppRunner() {
    const std::string path = edit_launchpad_path.text();
    Supervise(
        supervision(), supervision().appRunner, now(),
        cb_lauchpad_watch.checked() && cb_lauchpad_watch.enabled(), path,
        [this, &path] { return IsProcessRunning(LaunchpadProcessName(path)); },
        [this, &path] {
            LaunchProgram(path, false);
            BringMainWindowToFront();
        });
}

std::pair<bool, bool> MainForm::RetireEndedWatches() {
    Supervision& watched = supervision();
    const bool client = RetireEndedWatch(watched.client);
    const bool appRunner = RetireEndedWatch(watched.appRunner);
    if (client || appRunner) EndWatchesChanged();
    return {client, appRunner};
}

void MainForm::timer_observerTimer() {
    RetireEndedWatches();
    SuperviseClient();
    SuperviseAppRunner();
    // Told a tick after the hold began: by then the system has reaped the last start and has
    // its exit status, and a tray icon shown since can carry the notice.
    TellRestartsHeld();
    SyncAutobackupInterval();
}

void MainForm::StartedProgramEnded() {
    Supervision& watched = supervision();
    const auto [client, appRunner] = RetireEndedWatches();
    if (client) watched.client.awaitingReap = true;
    if (appRunner) watched.appRunner.awaitingReap = true;
    // The system reaps an ended program a moment later (seconds, under some inits); a start
    // before that would find aMule's lock still naming a live process, and quit at once.
    for (SupervisedProgram* program : {&watched.client, &watched.appRunner}) {
        if (!program->awaitingReap || (program->ended && !program->ended->Reaped())) continue;
        program->awaitingReap = false;
        program == &watched.client ? SuperviseClient() : SuperviseAppRunner();
    }
}

bool MainForm::ReapPending() const {
    return supervision_ &&
           (supervision_->client.awaitingReap || supervision_->appRunner.awaitingReap);
}

void MainForm::TellRestartsHeld() {
    Supervision& watched = supervision();
    const std::string folder = StripTrailingSeparatorKeepRoot(edit_clientdir.text());
    const bool amule = IsAmuleConfigFolder(folder);
    for (SupervisedProgram* program : {&watched.client, &watched.appRunner}) {
        if (!program->noticeDue || !program->guard.held()) {
            program->noticeDue = false;
            continue;
        }
        const bool isClient = program == &watched.client;
        std::vector<std::string> lines;
        lines.push_back(LanguageText(*this, TextId::RestartsHeldPrefix) +
                        (!isClient ? edit_launchpad_path.text()
                         : amule   ? clientExe
                                   : AddTrailingSeparator(edit_clientdir.text()) + clientExe));
        if (const auto status = program->ended ? program->ended->ExitStatus() : std::nullopt) {
            lines.push_back(WIFSIGNALED(*status) ? LanguageText(*this, TextId::RestartsHeldSignal) +
                                                       std::to_string(WTERMSIG(*status))
                                                 : LanguageText(*this, TextId::RestartsHeldCode) +
                                                       std::to_string(WEXITSTATUS(*status)));
        }
        if (isClient && amule) {
            // aMule quits at once when its lock names a live process, which need not be aMule.
            const long holder = AmuleLockHolder(folder);
            std::vector<ProcessInfo> amules = services.processes->ProcessesOf(kAmule);
            for (ProcessInfo& process : services.processes->ProcessesOf(kAmuled)) {
                amules.push_back(std::move(process));
            }
            if (LivesAndIsNoneOf(holder, amules)) {
                lines.push_back(LanguageText(*this, TextId::RestartsHeldLockPrefix) + folder +
                                "/muleLock" + LanguageText(*this, TextId::RestartsHeldLockMiddle) +
                                std::to_string(holder) +
                                LanguageText(*this, TextId::RestartsHeldLockSuffix));
            }
            lines.push_back(LanguageText(*this, TextId::RestartsHeldLog) + folder + "/logfile");
        }
        lines.push_back(LanguageText(*this, TextId::RestartsHeldRetry));
        auto joined = [&lines](const char* separator) {
            std::string text;
            for (const std::string& line : lines) text += (text.empty() ? "" : separator) + line;
            return text;
        };
        if (onRestartsHeld) {
            onRestartsHeld(joined(" "));
            program->noticeDue = false;
        } else {
            program->noticeDue = !abfTrayIcon1.showNotice(kAppTitle, joined("\n"));
        }
    }
}

// A box ticked anew: the user wants the program, so its ends so far no longer count; a program
// held back is tried at once.
void MainForm::cb_watchclientClick() {
    if (!cb_watchclient.checked()) return;
    if (ForgetEnds(supervision().client)) SuperviseClient();
}

void MainForm::cb_startclientClick() {
    if (cb_startclient.checked()) cb_watchclientClick();
}

void MainForm::cb_lauchpad_watchClick() {
    if (!cb_lauchpad_watch.checked()) return;
    if (ForgetEnds(supervision().appRunner)) SuperviseAppRunner();
}

}  // namespace hw
