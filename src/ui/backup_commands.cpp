// The Backup and Restore buttons.
#include "backup/generation_summary.h"
#include "backup/run_support.h"
#include "base/paths.h"
#include "shell/find_files.h"
#include "ui/language.h"
#include "ui/main_form.h"
#include "ui/run_texts.h"

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

void MainForm::RefuseRun(const std::string& text) {
    runEnd_ = RunEnd::Refused;
    ShowMessage(text, msg_error_caption);
}

void MainForm::btn_backupClick() {
    // One run at a time: the buttons are disabled meanwhile, and a click that comes anyway (the
    // tray's menu, a queued event) is dropped.
    if (RunUnderWay()) return;
    runEnd_ = RunEnd::None;
    TidyDirectoryFields(*this);
    if (BackupInsideTemp(*this)) {
        RefuseRun(msg_backup_in_temp);
        return;
    }
    BackupPartFiles(false);
}

void MainForm::btn_restoreClick() {
    if (RunUnderWay()) return;
    runEnd_ = RunEnd::None;
    // The question names what a restore brings back, with the generations where the repair that
    // the restore makes first leaves them; where the newest one is missing or holds fewer part
    // files than the older one, the older one is offered as well. Only Yes restores the newest
    // one, and the older one only where it is the only one or by its own button.
    const std::string backup = TrimTrailingSeparators(edit_backupdir.text());
    const bool subfolders = radio_storing_subfolder.checked();
    const GenerationPlaces places =
        PlacesAfterRepair(backup, TrimTrailingSeparators(edit_tempdir.text()),
                          TrimTrailingSeparators(edit_clientdir.text()));
    const GenerationSummary newest = SummarizeGeneration(places.newest, subfolders);
    const GenerationSummary older = SummarizeGeneration(places.older, subfolders);
    const std::string olderText =
        older.present ? DescribeGeneration(CurrentLanguageCode(), TextId::OlderBackupPrefix, older)
                      : "";
    bool fromOlder = false;
    if (!newest.present && older.present) {
        if (!services.dialogs->AskYesNo(msg_confirm_restore + "\n\n" +
                                        LanguageText(*this, TextId::NoNewestBackup) + "\n" +
                                        olderText)) {
            return;
        }
        fromOlder = true;  // an empty B is passed over
    } else if (newest.present && older.present && newest.files < older.files) {
        const std::string question =
            msg_confirm_restore + "\n\n" +
            DescribeGeneration(CurrentLanguageCode(), TextId::NewestBackupPrefix, newest) + "\n" +
            olderText + "\n\n" + LanguageText(*this, TextId::NewestHoldsFewer);
        const Choice choice =
            services.dialogs->AskYesNoOr(question, LanguageText(*this, TextId::RestoreOlderButton));
        if (choice == Choice::No) return;
        fromOlder = choice == Choice::Extra;
    } else {
        std::string question = msg_confirm_restore;
        if (newest.present) {
            question += "\n\n" + DescribeGeneration(CurrentLanguageCode(),
                                                    TextId::NewestBackupPrefix, newest);
        }
        if (!services.dialogs->AskYesNo(question)) return;
    }
    RestoreWhenClientStopped(fromOlder);
}

void MainForm::RestoreWhenClientStopped(bool older) {
    if (RunUnderWay()) return;
    runEnd_ = RunEnd::None;
    // A running client rewrites its part files from memory within a minute, so a restore now
    // would be lost while reported as done.
    std::string blocker;
    if (IsClientRunning(&blocker)) {
        // Named, so that the user can tell which program to close, or whose it is.
        RefuseRun(blocker.empty() ? msg_restore_client_running
                                  : msg_restore_client_running + "\n\n" + blocker);
        return;
    }
    TidyDirectoryFields(*this);
    if (BackupInsideTemp(*this)) {
        RefuseRun(msg_backup_in_temp);
        return;
    }
    RestorePartFiles(older);
}

}  // namespace hw
