// The TEMP, BACKUP and client folder fields: their Browse buttons and the rule with which every
// path edit's change handler begins.
#include "base/amule.h"
#include "base/paths.h"
#include "ui/language.h"
#include "ui/main_form.h"

namespace hw {

namespace {

void BrowseInto(MainForm& f, Edit& field, RememberedPathText& remembered, TextId caption,
                const std::string& start) {
    f.folderBrowse.caption = LanguageText(f, caption);
    f.folderBrowse.selection = start;
    f.folderBrowse.selection = f.services.dialogs->BrowseFolder(f.folderBrowse);
    const std::string chosen = f.folderBrowse.selection;
    if (chosen.empty()) return;
    // Remembered first, so the field's change handler already finds the path there.
    remembered.en = chosen;
    remembered.de = chosen;
    field.setText(chosen);
}

}  // namespace

void MainForm::btn_browsetempClick() {
    // With aMule's configuration folder as client folder, its part files' folder is the one to
    // start in while the field still holds its placeholder.
    const std::string client = StripTrailingSeparatorKeepRoot(edit_clientdir.text());
    const bool amule = !LooksLikeAbsolutePath(edit_tempdir.text()) && IsAmuleConfigFolder(client);
    BrowseInto(*this, edit_tempdir, tempdir_text, TextId::FolderDialogTemp,
               amule ? AmuleTempFolder(client) : edit_tempdir.text());
}

void MainForm::btn_browsebackupClick() {
    BrowseInto(*this, edit_backupdir, backupdir_text, TextId::FolderDialogBackup,
               edit_backupdir.text());
}

void MainForm::btn_browseclientdirClick() {
    BrowseInto(*this, edit_clientdir, clientdir_text, TextId::FolderDialogClient,
               edit_clientdir.text());
}

void MainForm::edit_tempdirChange() {
    SyncRememberedPathText(edit_tempdir, tempdir_text);
}

void MainForm::edit_backupdirChange() {
    SyncRememberedPathText(edit_backupdir, backupdir_text);
    // The last-backup line tells of this folder's runs, not of the one typed over.
    LoadLastBackup(true);
}

// An assignment below that changes the text runs this rule again inside it; the nested run
// finds nothing left to change, so the outer one reads the text afresh at every step.
void MainForm::SyncRememberedPathText(Edit& edit, RememberedPathText& remembered) {
    if (edit.text() == remembered.en && CurrentLanguageCode() != "EN") {
        edit.setText(remembered.de);
    }
    if (edit.text() == remembered.de && CurrentLanguageCode() != "DE") {
        edit.setText(remembered.en);
    }
    if (LooksLikeAbsolutePath(edit.text())) {
        const std::string path = edit.text();
        remembered.en = path;
        remembered.de = path;
    }
}

}  // namespace hw
