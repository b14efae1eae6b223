// The auto-backup schedule: its switch, the minutes field with its spin control, the tray menu
// item, and the status text that the tray icon shows.
#include <algorithm>

#include "backup/manual_runs.h"
#include "base/amule.h"
#include "base/errors.h"
#include "base/numbers.h"
#include "base/paths.h"
#include "settings/settings.h"
#include "ui/language.h"
#include "ui/main_form.h"

namespace hw {

namespace {

constexpr int kMsPerMinute = 60000;

}  // namespace

void MainForm::cb_autobackupClick() {
    timer_autobackup.setRunning(cb_autobackup.checked());
    pop_enabledisable.setCaption(LanguageText(*this, cb_autobackup.checked()
                                                         ? TextId::MenuDisableAutobackup
                                                         : TextId::MenuEnableAutobackup));
    RefreshStatusText();
}

void MainForm::pop_enabledisableClick() {
    // Changing the box runs cb_autobackupClick, which sets the same timer state and caption.
    if (cb_autobackup.checked()) {
        timer_autobackup.setRunning(false);
        cb_autobackup.setChecked(false);
        pop_enabledisable.setCaption(LanguageText(*this, TextId::MenuEnableAutobackup));
    } else {
        timer_autobackup.setRunning(true);
        cb_autobackup.setChecked(true);
        pop_enabledisable.setCaption(LanguageText(*this, TextId::MenuDisableAutobackup));
    }
    RefreshStatusText();
}

void MainForm::timer_autobackupTimer() {
    // The front end's clock counts the next period from here.
    countdownFrom_ = now();
    countdownSeen_ = timer_autobackup.countdownGeneration();
    countdownKnown_ = true;
    if (!RunUnderWay()) RefreshStatusText();
    if (!cb_autobackup.checked()) return;
    if (BackupInsideTemp(radio_storing_subfolder.checked(), edit_backupdir.text(),
                         edit_tempdir.text())) {
        ShowMessage(msg_backup_in_temp, msg_error_caption);
        return;
    }
    AutomaticRunEnded(BackupPartFiles(true));
}

void MainForm::ApplyAutobackupInterval(int minutes) {
    const int held = std::clamp(minutes, UpDown1.min(), UpDown1.max());
    {
        // The spin's own changing handler would apply the same value again, nested.
        const bool outer = applyingInterval_;
        applyingInterval_ = true;
        UpDown1.setPosition(held);
        applyingInterval_ = outer;
    }
    timer_autobackup.setInterval(held * kMsPerMinute);
    RefreshStatusText(held);
}

void MainForm::RefreshStatusText() {
    RefreshStatusText(UpDown1.position());
}

bool MainForm::ClientKnown() const {
    return !clientExe.empty() ||
           IsAmuleConfigFolder(StripTrailingSeparatorKeepRoot(edit_clientdir.text()));
}

void MainForm::RefreshStatusText(int minutes) {
    // Automatic backups run only while the client runs: without a client they never would.
    std::string status = LanguageText(*this, TextId::TrayHintOff);
    if (cb_autobackup.checked() && !ClientKnown()) {
        status = LanguageText(*this, TextId::TrayHintWaiting);
    } else if (cb_autobackup.checked()) {
        status = LanguageText(*this, TextId::TrayHintOnPrefix) + std::to_string(minutes) +
                 LanguageText(*this, TextId::TrayHintOnSuffix);
    }
    abfTrayIcon1.setHint(status);
    abfTrayIcon1.setDetail(LastBackupText());
    // A countdown (re)started since the last look starts now: the front end's clock starts as
    // the timer tells it.
    if (!countdownKnown_ || countdownSeen_ != timer_autobackup.countdownGeneration()) {
        countdownFrom_ = now();
        countdownSeen_ = timer_autobackup.countdownGeneration();
        countdownKnown_ = true;
    }
    label_lastbackup.setCaption(LastBackupText(true));
}

std::time_t MainForm::NextAutomaticBackup() const {
    if (!cb_autobackup.checked() || !ClientKnown() || !timer_autobackup.running() ||
        !countdownKnown_ || countdownSeen_ != timer_autobackup.countdownGeneration()) {
        return 0;
    }
    return countdownFrom_ + timer_autobackup.interval() / 1000;
}

void MainForm::edit_autobackupExit() {
    int minutes = 0;
    if (!ParseWholeNumber(edit_autobackup.text(), minutes)) {
        throw HandlerError("'" + edit_autobackup.text() + "' ist kein gültiger Integerwert");
    }
    if (minutes > UpDown1.max() || minutes < UpDown1.min()) {
        edit_autobackup.setText(std::to_string(kDefaultIntervalMinutes));
        ShowMessage(msg_interval_range, msg_error_caption);
    }
    ApplyAutobackupInterval(IntervalMinutes(edit_autobackup.text()));
}

void MainForm::UpDown1Changing(bool& /*allowChange*/, int newPosition) {
    // A step applies the value it moves to at once rather than the one it leaves.
    if (applyingInterval_) return;
    ApplyAutobackupInterval(newPosition);
}

void MainForm::SyncAutobackupInterval() {
    UpDown1.setPosition(IntervalMinutes(edit_autobackup.text()));
    timer_autobackup.setInterval(UpDown1.position() * kMsPerMinute);
    RefreshStatusText();
}

}  // namespace hw
