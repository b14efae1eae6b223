// What the user sees of past runs: the history file, and the line about the last backup on the
// Backup Settings page and in the tray hint.
#include <cstdlib>

#include "backup/run_history.h"
#include "base/paths.h"
#include "ui/language.h"
#include "ui/main_form.h"
#include "ui/run_lines.h"

namespace hw {

std::string MainForm::HistoryFilePath() const {
    if (!historyFile.empty()) return historyFile;
    const char* home = std::getenv("HOME");
    return DefaultHistoryFile(std::getenv("XDG_STATE_HOME"), home != nullptr ? home : "");
}

void MainForm::RecordRun(bool restore, bool automatic, bool succeeded, const std::string& message) {
    RunRecord run;
    run.when = now();
    run.restore = restore;
    run.automatic = automatic;
    run.files = runFiles_;
    run.damaged = runDamaged_;
    run.succeeded = succeeded;
    run.folder = BackupFolderName(TrimTrailingSeparators(edit_backupdir.text()));
    run.message = message;
    // The history is for reading; a run is not failed for a line that could not be written.
    const std::string path = HistoryFilePath();
    const HistoryAppend appended = AppendRunRecord(path, run);
    if (onRunRecorded) onRunRecorded(RunRecordLine(CurrentLanguageCode(), run));
    // Once a program run, after the run's own outcome: a manual run shows it, an automatic one
    // only tells the command line.
    if (appended == HistoryAppend::NotAFile && !historyWarned_) {
        const std::string warning = LanguageText(*this, TextId::HistoryNotAFile) + path;
        if (!automatic) {
            ShowMessage(warning, msg_error_caption);
            historyWarned_ = true;
        } else if (onRunRecorded) {
            onRunRecorded(warning);
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
    if (holder.empty()) return {};
    return LanguageText(*this, TextId::BackupFolderInUse) + backup + "\n\n" + holder;
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
