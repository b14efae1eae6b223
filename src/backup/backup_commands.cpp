// Scaffold: replaced by the backup engine and its commands.
#include "ui/main_form.h"

namespace hw {

void MainForm::BackupPartFiles(bool) {}
void MainForm::RestorePartFiles() {}
void MainForm::BackupAdditionalFiles(bool) {}
void MainForm::RestoreAdditionalFiles() {}
void MainForm::btn_backupClick() {}
void MainForm::btn_restoreClick() {}

}  // namespace hw
