// What the user sees of past runs: the history file, and the line about the last backup on the
// Backup Settings page and in the tray hint.
#include <cstdlib>

#include "backup/run_history.h"
#include "base/paths.h"
#include "ui/language.h"
#include "ui/main_form.h"

namespace hw {

namespace {

// The day is left out for a run of today.
std::string ShortTime(std::time_t when, std::time_t now) {
    const bool sameDay = LocalTime(when, "%Y-%m-%d") == LocalTime(now, "%Y-%m-%d");
    return LocalTime(when, sameDay ? "%H:%M" : "%Y-%m-%d %H:%M");
}

// The first line of a failure that says more than that the backup failed.
std::string ShortReason(const std::string& message, const std::string& generic) {
    std::size_t start = 0;
    while (start < message.size()) {
        std::size_t end = message.find_first_of("\n|", start);
        if (end == std::string::npos) end = message.size();
        std::string line = message.substr(start, end - start);
        while (!line.empty() && line.front() == ' ') line.erase(line.begin());
        while (!line.empty() && (line.back() == ' ' || line.back() == ':')) line.pop_back();
        if (!line.empty() && line != generic)
            return line.size() > 100 ? line.substr(0, 97) + "..." : line;
        start = end + 1;
    }
    return generic;
}

// "Backup (automatic): 8 part files, 1 damaged, successful", or "Backup: failed: " and what
// the run showed.
std::string RunLine(const MainForm& f, const RunRecord& run) {
    std::string line =
        LanguageText(f, run.restore ? TextId::RunLineRestore : TextId::RunLineBackup);
    if (run.automatic) line += LanguageText(f, TextId::RunLineAutomatic);
    line += ": ";
    if (!run.succeeded) {
        return line + LanguageText(f, TextId::RunFailedPrefix) + OneLine(run.message);
    }
    line += std::to_string(run.files) + LanguageText(f, TextId::PartFilesSuffix);
    if (run.damaged > 0) {
        line += ", " + std::to_string(run.damaged) + LanguageText(f, TextId::DamagedSuffix);
    }
    return line + ", " + LanguageText(f, TextId::RunSucceeded);
}

}  // namespace

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
    if (onRunRecorded) onRunRecorded(RunLine(*this, run));
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
    if (lastBackupWhen_ == 0) return LanguageText(*this, TextId::LastBackupNone);
    std::string text =
        LanguageText(*this, brief ? TextId::LastBackupBrief : TextId::LastBackupPrefix) +
        ShortTime(lastBackupWhen_, now()) + ", ";
    if (!lastBackupSucceeded_) {
        return text + LanguageText(*this, TextId::RunFailedPrefix) +
               ShortReason(lastBackupMessage_, msg_backup_failed);
    }
    return text + std::to_string(lastBackupFiles_) + LanguageText(*this, TextId::PartFilesSuffix) +
           ", " + LanguageText(*this, TextId::RunSucceeded);
}

void MainForm::btn_historyClick() {
    const std::string path = HistoryFilePath();
    if (path.empty()) return;
    services.window->OpenUrl("file://" + path);
}

}  // namespace hw
