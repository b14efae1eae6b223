// What the user sees of past runs: the history file, and the line about the last backup on the
// Backup Settings page and in the tray hint.
#include "backup/run_history.h"
#include "base/paths.h"
#include "ui/language.h"
#include "ui/main_form.h"
#include "ui/run_lines.h"
#include "ui/running_copy.h"

namespace hw {

std::string MainForm::HistoryFilePath() const {
    return historyFile.empty() ? UserHistoryFile() : historyFile;
}

void MainForm::RecordRun(bool restore, bool automatic, bool succeeded, const std::string& message) {
    RunRecord run;
    run.when = now();
    run.restore = restore;
    run.automatic = automatic;
    run.files = runFiles_;
    run.damaged = runDamaged_;
    run.succeeded = succeeded;
    run.folder = BackupFolderName(runFolder_);
    run.message = message;
    const RecordedRun recorded = hw::RecordRun(HistoryFilePath(), CurrentLanguageCode(), run);
    if (onRunRecorded) onRunRecorded(recorded.line);
    // Once a program run, after the run's own outcome: a manual run shows it, an automatic one
    // only tells the command line.
    if (!recorded.notAFile.empty() && !historyWarned_) {
        if (!automatic) {
            ShowMessage(recorded.notAFile, msg_error_caption);
            historyWarned_ = true;
        } else if (onRunRecorded) {
            onRunRecorded(recorded.notAFile);
            historyWarned_ = true;
        }
    }
    if (restore) return;
    lastBackupFolder_ = *run.folder;
    lastBackupWhen_ = run.when;
    lastBackupFiles_ = run.files;
    lastBackupSucceeded_ = succeeded;
    lastBackupMessage_ = message;
    RefreshStatusText();
}

void MainForm::LoadLastBackup(bool whenFolderChanged) {
    const std::string folder = BackupFolderName(TrimTrailingSeparators(edit_backupdir.text()));
    if (whenFolderChanged && folder == lastBackupFolder_) return;
    lastBackupFolder_ = folder;
    const RunRecord run = LastBackupRun(HistoryFilePath(), folder).value_or(RunRecord{});
    lastBackupWhen_ = run.when;
    lastBackupFiles_ = run.files;
    lastBackupSucceeded_ = run.succeeded;
    lastBackupMessage_ = run.message;
    RefreshStatusText();
}

std::string MainForm::ReserveBackupFolder(const std::string& backup) {
    const std::string holder =
        LooksLikeAbsolutePath(backup) && reserveBackupFolder ? reserveBackupFolder(backup) : "";
    return BackupFolderInUseText(backup, holder, CurrentLanguageCode());
}

std::string MainForm::LastBackupText(bool brief) const {
    RunRecord last;
    last.when = lastBackupWhen_;
    last.files = lastBackupFiles_;
    last.succeeded = lastBackupSucceeded_;
    last.message = lastBackupMessage_;
    return LastBackupLine(CurrentLanguageCode(), last, now(), brief);
}

void MainForm::btn_historyClick() {
    const std::string path = HistoryFilePath();
    if (path.empty()) return;
    services.window->OpenUrl("file://" + path);
}

}  // namespace hw
