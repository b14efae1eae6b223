// Every 10 seconds: restart the watched client and AppRunner program when no process of their
// name is left, then bring the auto-backup period in line with the minutes field; and the
// AppRunner's controls.
#include "base/app_title.h"
#include "base/paths.h"
#include "supervision/observer.h"
#include "supervision/program_start.h"
#include "ui/main_form.h"
#include "ui/supervision_texts.h"

namespace hw {

namespace {

// What the window asks to keep running, read from its controls once per step.
WatchTargets TargetsOf(const MainForm& f) {
    WatchTargets targets;
    targets.client = f.cb_watchclient.checked();
    targets.clientFolder = f.edit_clientdir.text();
    targets.clientExe = f.clientExe;
    // The watch box keeps its mark while disabled; a disabled watch is ignored.
    targets.appRunner = f.cb_lauchpad_watch.checked() && f.cb_lauchpad_watch.enabled();
    targets.appRunnerPath = f.edit_launchpad_path.text();
    return targets;
}

}  // namespace

Supervisor& MainForm::supervision() {
    if (!supervision_) supervision_ = std::make_shared<Supervisor>();
    return *supervision_;
}

void MainForm::EndWatchesChanged() {
    if (onEndWatchesChanged) onEndWatchesChanged();
}

std::vector<int> MainForm::EndWatchDescriptors() const {
    return supervision_ ? supervision_->EndWatchDescriptors() : std::vector<int>{};
}

SupervisorTools MainForm::SupervisionTools() {
    return {*services.processes, *services.starter, now, [this] { BringMainWindowToFront(); },
            [this] { EndWatchesChanged(); }};
}

void MainForm::timer_observerTimer() {
    supervision().Tick(TargetsOf(*this), SupervisionTools());
    // Told a tick after the hold began: by then the system has reaped the last start and has
    // its exit status, and a tray icon shown since can carry the notice.
    TellRestartsHeld();
    SyncAutobackupInterval();
}

void MainForm::StartedProgramEnded() {
    supervision().StartedProgramEnded(TargetsOf(*this), SupervisionTools());
}

bool MainForm::ReapPending() const {
    return supervision_ && supervision_->ReapPending();
}

void MainForm::TellRestartsHeld() {
    Supervisor& watched = supervision();
    for (const HeldBack& held : watched.DueNotices(TargetsOf(*this), *services.processes)) {
        if (onRestartsHeld) {
            onRestartsHeld(RestartsHeldText(CurrentLanguageCode(), held, " "));
            watched.NoticeGiven(held.program);
        } else if (abfTrayIcon1.showNotice(kAppTitle,
                                           RestartsHeldText(CurrentLanguageCode(), held, "\n"))) {
            watched.NoticeGiven(held.program);
        }
    }
}

// A box ticked anew: the user wants the program, so its ends so far no longer count; a program
// held back is tried at once.
void MainForm::cb_watchclientClick() {
    if (!cb_watchclient.checked()) return;
    supervision().WantedAgain(Watched::Client, TargetsOf(*this), SupervisionTools());
}

void MainForm::cb_startclientClick() {
    if (cb_startclient.checked()) cb_watchclientClick();
}

void MainForm::cb_lauchpad_watchClick() {
    if (!cb_lauchpad_watch.checked()) return;
    supervision().WantedAgain(Watched::AppRunner, TargetsOf(*this), SupervisionTools());
}

// ---- The one further program that starts with Hoardwise and, when watched, is restarted.

void MainForm::cb_lauchpad_startupClick() {
    // The watch box keeps its mark while disabled; the observer ignores a disabled watch.
    const bool on = cb_lauchpad_startup.checked();
    edit_launchpad_path.setEnabled(on);
    btn_browselaunchpad.setEnabled(on);
    cb_lauchpad_watch.setEnabled(on);
    if (on) cb_lauchpad_watchClick();
}

void MainForm::edit_launchpad_pathChange() {
    // The path is not checked here: a failed start says what is wrong.
    SyncRememberedPathText(edit_launchpad_path, launchpad_path_text);
}

void MainForm::btn_browselaunchpadClick() {
    const std::string& path = edit_launchpad_path.text();
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos
                                   ? std::string()
                                   : StripTrailingSeparatorKeepRoot(path.substr(0, slash + 1));
    const std::vector<std::string> chosen = services.dialogs->OpenFiles(OpenDialog1, folder);
    if (chosen.empty()) return;
    launchpad_path_text.en = chosen.front();
    launchpad_path_text.de = chosen.front();
    edit_launchpad_path.setText(chosen.front());
}

}  // namespace hw
