// The Backup and Restore buttons.
#include <string>
#include <utility>
#include <vector>

#include "backup/backup_contents.h"
#include "backup/manual_runs.h"
#include "backup/run_support.h"
#include "base/paths.h"
#include "supervision/client_recognition.h"
#include "ui/contents_view.h"
#include "ui/language.h"
#include "ui/main_form.h"
#include "ui/run_texts.h"
#include "ui/supervision_texts.h"

namespace hw {

namespace {

// Each field is tidied in turn; a changed text runs its change handler before the next one.
void TidyDirectoryFields(MainForm& f) {
    for (Edit* field : {&f.edit_tempdir, &f.edit_backupdir, &f.edit_clientdir}) {
        field->setText(StripTrailingSeparator(field->text()));
    }
}

bool BackupInsideTemp(const MainForm& f) {
    return hw::BackupInsideTemp(f.radio_storing_subfolder.checked(), f.edit_backupdir.text(),
                                f.edit_tempdir.text());
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
    const RestoreSources sources = FindRestoreSources(
        TrimTrailingSeparators(edit_backupdir.text()), TrimTrailingSeparators(edit_tempdir.text()),
        TrimTrailingSeparators(edit_clientdir.text()), radio_storing_subfolder.checked());
    const GenerationSummary& newest = sources.newest;
    const GenerationSummary& older = sources.older;
    // Part files that progressed since the backup would be set back by it: the question says how
    // many, for the generation it restores.
    ContentsRequest contentsRequest;
    contentsRequest.temp = TrimTrailingSeparators(edit_tempdir.text());
    contentsRequest.backup = TrimTrailingSeparators(edit_backupdir.text());
    contentsRequest.client = TrimTrailingSeparators(edit_clientdir.text());
    contentsRequest.subfolders = radio_storing_subfolder.checked();
    const bool absolute = LooksLikeAbsolutePath(contentsRequest.temp) &&
                          LooksLikeAbsolutePath(contentsRequest.backup);
    const BackupContents contents =
        absolute ? ReadBackupContents(contentsRequest) : BackupContents{};
    auto setBack = [&](bool fromOlder) {
        const std::string text =
            SetBackText(CurrentLanguageCode(), CountAheadOfBackup(contents, fromOlder), fromOlder);
        return text.empty() ? text : "\n\n" + text;
    };
    const std::string olderText =
        older.present ? DescribeGeneration(CurrentLanguageCode(), TextId::OlderBackupPrefix, older)
                      : "";
    bool fromOlder = false;
    if (sources.OnlyOlder()) {
        if (!services.dialogs->AskYesNo(msg_confirm_restore + "\n\n" +
                                        LanguageText(*this, TextId::NoNewestBackup) + "\n" +
                                        olderText + setBack(true))) {
            return;
        }
        fromOlder = true;  // an empty B is passed over
    } else if (sources.NewestHoldsFewer()) {
        const std::string question =
            msg_confirm_restore + "\n\n" +
            DescribeGeneration(CurrentLanguageCode(), TextId::NewestBackupPrefix, newest) + "\n" +
            olderText + "\n\n" + LanguageText(*this, TextId::NewestHoldsFewer) + setBack(false) +
            setBack(true);
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
        question += setBack(false);
        if (!services.dialogs->AskYesNo(question)) return;
    }
    RestoreWhenClientStopped(fromOlder);
}

void MainForm::RestoreChosen(const std::vector<std::string>& places, bool older,
                             std::size_t leftOut, const std::vector<std::string>& fromOlder) {
    // An empty choice would be the full restore: never taken for one.
    if (RunUnderWay() || (places.empty() && fromOlder.empty())) return;
    runEnd_ = RunEnd::None;
    if (!services.dialogs->AskYesNo(RestoreChosenQuestion(CurrentLanguageCode(), places.size(),
                                                          older, leftOut, fromOlder.size()))) {
        return;
    }
    RestoreWhenClientStopped(older, places, fromOlder);
}

void MainForm::RestoreWhenClientStopped(bool older, std::vector<std::string> only,
                                        std::vector<std::string> fromOlder) {
    if (RunUnderWay()) return;
    runEnd_ = RunEnd::None;
    // A running client rewrites its part files from memory within a minute, so a restore now
    // would be lost while reported as done.
    const ClientRun client = FindClientRun(*services.processes, edit_clientdir.text(), clientExe);
    if (client.running) {
        RefuseRun(ClientRunningRefusal(*this, CurrentLanguageCode(), client));
        return;
    }
    TidyDirectoryFields(*this);
    if (BackupInsideTemp(*this)) {
        RefuseRun(msg_backup_in_temp);
        return;
    }
    RestorePartFiles(older, std::move(only), std::move(fromOlder));
}

}  // namespace hw
