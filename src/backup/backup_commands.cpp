// The Backup and Restore buttons.
#include <sys/stat.h>

#include <ctime>

#include "backup/run_history.h"
#include "backup/run_support.h"
#include "base/paths.h"
#include "shell/file_copy.h"
#include "shell/find_files.h"
#include "ui/language.h"
#include "ui/main_form.h"

namespace hw {

namespace {

// Each field is tidied in turn; a changed text runs its change handler before the next one.
void TidyDirectoryFields(MainForm& f) {
    for (Edit* field : {&f.edit_tempdir, &f.edit_backupdir, &f.edit_clientdir}) {
        field->setText(StripTrailingSeparator(field->text()));
    }
}

bool BackupInsideTemp(const MainForm& f) {
    return f.radio_storing_subfolder.checked() &&
           TextContains(f.edit_backupdir.text(), f.edit_tempdir.text());
}

// What a generation holds, for the restore question. Its time is the folder's: the last name
// put in or taken out of it was the mark that a backup removes once the generation is in place.
struct Generation {
    bool present = false;
    std::time_t when = 0;
    std::size_t files = 0;
};

Generation LookAt(const std::string& folder, bool subfolders) {
    std::size_t found = 0;
    if (subfolders) {
        for (const std::string& subfolder : Subfolders(folder)) {
            found += CountFiles(subfolder, kBackupFileMask);
        }
    } else {
        found = CountFiles(folder, kBackupFileMask);
    }
    struct stat info {};
    if (found == 0 || ::stat(folder.c_str(), &info) != 0) return {};
    return {true, info.st_mtim.tv_sec, found};
}

// "Newest backup: 2026-12-07 14:21, 8 part files"
std::string Describe(const MainForm& f, TextId prefix, const Generation& generation) {
    return LanguageText(f, prefix) + LocalTime(generation.when, "%Y-%m-%d %H:%M") + ", " +
           std::to_string(generation.files) + LanguageText(f, TextId::PartFilesSuffix);
}

}  // namespace

void MainForm::btn_backupClick() {
    TidyDirectoryFields(*this);
    if (BackupInsideTemp(*this)) {
        ShowMessage(msg_backup_in_temp, msg_error_caption);
        return;
    }
    BackupPartFiles(false);
}

void MainForm::pop_backupClick() {
    btn_backupClick();
}

void MainForm::btn_restoreClick() {
    // The question names what a restore brings back; where the newest generation is missing or
    // holds fewer part files than the older one, the older one is offered as well.
    const std::string backup = TrimTrailingSeparators(edit_backupdir.text());
    const bool subfolders = radio_storing_subfolder.checked();
    const Generation newest = LookAt(backup, subfolders);
    const Generation older = LookAt(backup + kOldSuffix, subfolders);
    const std::string olderText =
        older.present ? Describe(*this, TextId::OlderBackupPrefix, older) : "";
    bool fromOlder = false;
    if (!newest.present && older.present) {
        if (!services.dialogs->AskYesNo(msg_confirm_restore + "\n\n" +
                                        LanguageText(*this, TextId::NoNewestBackup) + "\n" +
                                        olderText)) {
            return;
        }
        // A missing B is replaced by B_old before a restore; an empty one is passed over.
        fromOlder = files::Exists(backup);
    } else if (newest.present && older.present && newest.files < older.files) {
        const std::string question =
            msg_confirm_restore + "\n\n" + Describe(*this, TextId::NewestBackupPrefix, newest) +
            "\n" + olderText + "\n\n" + LanguageText(*this, TextId::NewestHoldsFewer);
        if (!services.dialogs->AskYesNo(question)) {
            if (!services.dialogs->AskYesNo(LanguageText(*this, TextId::RestoreOlderQuestion) +
                                            "\n\n" + olderText)) {
                return;
            }
            fromOlder = true;
        }
    } else {
        std::string question = msg_confirm_restore;
        if (newest.present) {
            question += "\n\n" + Describe(*this, TextId::NewestBackupPrefix, newest);
        }
        if (!services.dialogs->AskYesNo(question)) return;
    }
    // A running client rewrites its part files from memory within a minute, so a restore now
    // would be lost while reported as done.
    if (IsClientRunning()) {
        ShowMessage(msg_restore_client_running, msg_error_caption);
        return;
    }
    TidyDirectoryFields(*this);
    if (BackupInsideTemp(*this)) {
        ShowMessage(msg_backup_in_temp, msg_error_caption);
        return;
    }
    RestorePartFiles(fromOlder);
}

}  // namespace hw
