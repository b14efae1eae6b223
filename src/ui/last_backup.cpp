// What the user sees of past runs: the history file, and the line about the last backup on the
// Backup Settings page and in the tray hint.
#include "backup/run_history.h"
#include "base/paths.h"
#include "ui/history_view.h"
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
    // A run of another folder than the line's starts the line anew.
    if (lastBackupFolder_ != *run.folder) lastBackups_ = {};
    lastBackupFolder_ = *run.folder;
    lastBackups_.newest = run;
    if (succeeded) lastBackups_.succeeded = run;
    RefreshStatusText();
}

void MainForm::LoadLastBackup(bool whenFolderChanged) {
    const std::string folder = BackupFolderName(TrimTrailingSeparators(edit_backupdir.text()));
    if (whenFolderChanged && folder == lastBackupFolder_) return;
    lastBackupFolder_ = folder;
    lastBackups_ = LastBackupRuns(HistoryFilePath(), folder);
    RefreshStatusText();
}

std::string MainForm::ReserveBackupFolder(const std::string& backup) {
    const std::string holder =
        LooksLikeAbsolutePath(backup) && reserveBackupFolder ? reserveBackupFolder(backup) : "";
    return BackupFolderInUseText(backup, holder, CurrentLanguageCode());
}

std::string MainForm::LastBackupText(bool brief) const {
    // The page tells when the schedule backs up next; the tray's hint tells the schedule itself.
    return BackupStatusLine(CurrentLanguageCode(), lastBackups_, now(), brief,
                            brief ? NextAutomaticBackup() : 0);
}

void MainForm::btn_historyClick() {
    if (!showHistory) return;
    const std::string path = HistoryFilePath();
    HistoryView view = MakeHistoryView(CurrentLanguageCode(), ReadRunHistory(path), path);
    showHistory(view);
}

}  // namespace hw
