// The Backup and Restore buttons.
#include "base/paths.h"
#include "shell/find_files.h"
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

}  // namespace

void MainForm::btn_backupClick() {
    TidyDirectoryFields(*this);
    if (BackupInsideTemp(*this)) {
        ShowMessage(msg_backup_in_temp, msg_error_caption);
        return;
    }
    BackupPartFiles(false);
}

void MainForm::btn_restoreClick() {
    if (!services.dialogs->AskYesNo(msg_confirm_restore)) return;
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
    RestorePartFiles();
}

}  // namespace hw
