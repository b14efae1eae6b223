// The Backup run as the window starts it: the fields read once into a request, the engine's run
// (backup/backup_run.h) here or on the worker, and its report in the user's words.
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "backup/backup_run.h"
#include "base/app_title.h"
#include "base/paths.h"
#include "shell/file_system_facts.h"
#include "ui/language.h"
#include "ui/main_form.h"
#include "ui/manual_run_scope.h"
#include "ui/run_texts.h"
#include "ui/text_tables.h"

namespace hw {

namespace {

// clang-format off
constexpr Bilingual kTempMissing = {
    "Backing up failed: the following Temp-Directory does not exist or is no folder (is its disk "
    "not mounted?), so no part files were found. Nothing was backed up.\n\n",
    "Sichern fehlgeschlagen: Der folgende Temp-Ordner existiert nicht oder ist kein Ordner (ist "
    "sein Laufwerk nicht eingehängt?), daher wurden keine Part-Dateien gefunden. Es wurde nichts "
    "gesichert.\n\n"};
// clang-format on

std::string TempMissingText(const std::string& code) {
    return kTempMissing.in(code == "DE" ? Language::German : Language::English);
}

}  // namespace

RunInputs MainForm::ReadRunInputs() const {
    RunInputs inputs;
    inputs.temp = TrimTrailingSeparators(edit_tempdir.text());
    inputs.backup = TrimTrailingSeparators(edit_backupdir.text());
    inputs.client = TrimTrailingSeparators(edit_clientdir.text());
    inputs.subfolders = radio_storing_subfolder.checked();
    inputs.entries = listbox_files.items();
    inputs.settingsFile = SettingsFilePath();
    return inputs;
}

void MainForm::RunFailed(bool automatic, const std::string& text, bool alwaysShown) {
    runFailure_ = text;
    if (!automatic || alwaysShown) ShowMessage(text, msg_error_caption);
}

MainForm::RunOutcome MainForm::BackupPartFiles(bool automatic) {
    // One run at a time. A manual run may wait in a message box while the schedule ticks; it is
    // not interleaved.
    if (RunUnderWay() || (automatic && ManualRunActive())) return RunOutcome::Skipped;
    runFailure_.clear();
    runFiles_ = 0;
    runDamaged_ = 0;
    runEnd_ = RunEnd::None;
    BackupRequest request(ReadRunInputs());
    runFolder_ = request.backup;
    runTemp_ = request.temp;
    if (automatic && !IsClientRunning()) return RunOutcome::Skipped;
    std::optional<ManualRunScope> scope;
    if (!automatic) scope.emplace(*this);
    // Two runs never write one backup folder at once. The one that holds it backs it up: an
    // automatic run leaves it to that one, and neither is a run of this folder's history.
    const std::string inUse = ReserveBackupFolder(request.backup);
    if (!inUse.empty()) {
        if (!automatic) RefuseRun(inUse);
        return RunOutcome::Skipped;
    }
    request.pauseBeforeRereading = pauseBeforeRereading;
    if (services.worker == nullptr) {
        return BackupEnded(automatic, RunBackup(request, abfFileOperation1, discardRemoval_));
    }
    // The run gets a file operation of its own (with the same seams): the window's stays free.
    struct Run {
        BackupRequest request;
        TabfFileOperation op;
        BackupReport report;
    };
    auto run = std::make_shared<Run>(Run{std::move(request), abfFileOperation1, {}});
    // Started from the tray's menu behind the icon, it tells its end as the menu would have.
    const bool heldForNotice = heldMessages_ != nullptr;
    BackgroundRemoval* removal = &discardRemoval_;
    StartOnWorker(
        false, run->request.progress,
        [run, removal] { run->report = RunBackup(run->request, run->op, *removal); },
        [this, run, automatic, heldForNotice] {
            std::optional<ManualRunScope> shown;
            if (!automatic) shown.emplace(*this);
            auto ended = [&] {
                const RunOutcome outcome = BackupEnded(automatic, run->report);
                if (automatic) AutomaticRunEnded(outcome);
            };
            if (heldForNotice) {
                TellAsOneNotice(ended);
            } else {
                ended();
            }
        });
    return RunOutcome::Started;
}

MainForm::RunOutcome MainForm::BackupEnded(bool automatic, const BackupReport& report) {
    // No part file because the temp folder set is gone (a disk not mounted, a folder renamed):
    // a failure, not an idle client, and it stays in the history.
    if (report.outcome == RunResult::NothingToDo && LooksLikeAbsolutePath(runTemp_) &&
        !files::IsFolder(runTemp_)) {
        RunFailed(automatic, TempMissingText(CurrentLanguageCode()) + runTemp_);
        runEnd_ = RunEnd::Failed;
        RecordRun(false, automatic, false, runFailure_);
        return RunOutcome::Failed;
    }
    for (const RunMessage& message : BackupTexts(*this, report).messages) {
        if (message.failure) {
            RunFailed(automatic, message.text, message.alwaysShown);
        } else if (!automatic) {
            ShowMessage(message.text, message.caption);
        }
    }
    // A run that found nothing to do made no backup, and is no part of the history.
    if (report.outcome == RunResult::NothingToDo) return RunOutcome::Skipped;
    runFiles_ = report.files;
    runDamaged_ = report.damaged;
    const bool succeeded = report.outcome == RunResult::Succeeded;
    runEnd_ = BackupEnd(report);
    RecordRun(false, automatic, succeeded, succeeded ? msg_backup_ok : runFailure_);
    return succeeded ? RunOutcome::Succeeded : RunOutcome::Failed;
}

void MainForm::AutomaticRunEnded(RunOutcome outcome) {
    // Automatic runs show nothing; so that one failing at every period does not go unseen for
    // weeks, the first failure after a success (or the start) is announced once by the icon.
    switch (outcome) {
        case RunOutcome::Succeeded:
            automaticFailureNoticed_ = false;
            break;
        case RunOutcome::Failed:
            if (!automaticFailureNoticed_) {
                automaticFailureNoticed_ = abfTrayIcon1.showNotice(
                    kAppTitle, LanguageText(*this, TextId::AutobackupFailedStart) + runFailure() +
                                   LanguageText(*this, TextId::AutobackupFailedEnd));
            }
            break;
        case RunOutcome::Skipped:
        case RunOutcome::Started:
            break;
    }
}

void MainForm::TellAsOneNotice(const std::function<void()>& end) {
    std::vector<std::pair<std::string, std::string>> held;
    struct Holding {
        std::vector<std::pair<std::string, std::string>>*& target;
        ~Holding() { target = nullptr; }
    } holding{heldMessages_};
    heldMessages_ = &held;
    end();
    heldMessages_ = nullptr;
    if (held.empty()) return;
    std::string text;
    for (const auto& message : held) text += (text.empty() ? "" : "\n\n") + message.first;
    // The window came back during the run: its boxes then, so that no result goes untold.
    if (abfTrayIcon1.showNotice(kAppTitle, text)) return;
    for (const auto& [line, caption] : held) ShowMessage(line, caption);
}

void MainForm::BeginRunUnderWay() {
    runUnderWay_ = true;
    ++runSerial_;
    for (Control* control :
         std::initializer_list<Control*>{&btn_backup, &btn_restore, &pop_backup}) {
        control->setEnabled(false);
    }
    if (onRunStateChanged) onRunStateChanged();
}

void MainForm::EndRunUnderWay() {
    runUnderWay_ = false;
    for (Control* control :
         std::initializer_list<Control*>{&btn_backup, &btn_restore, &pop_backup}) {
        control->setEnabled(true);
    }
    // The last-backup line in place of the count.
    RefreshStatusText();
    if (onRunStateChanged) onRunStateChanged();
}

void MainForm::StartOnWorker(bool restore, RunProgress& progress, std::function<void()> work,
                             std::function<void()> done) {
    BeginRunUnderWay();
    progress = ProgressShown(restore);
    // A worker that cannot start leaves the window usable, and so does a report that cannot be
    // shown.
    try {
        services.worker->Start(std::move(work), [this, done = std::move(done)] {
            const RunUnderWayEnd end([this] { EndRunUnderWay(); });
            done();
        });
    } catch (...) {
        EndRunUnderWay();
        throw;
    }
}

RunProgress MainForm::ProgressShown(bool restore) {
    RunWorker* worker = services.worker;
    if (worker == nullptr) return nullptr;
    using Clock = std::chrono::steady_clock;
    // Nothing in the first second, then at most five counts a second; the copying threads only
    // read the clock and one atomic value, and one of them posts.
    const Clock::rep step =
        std::chrono::duration_cast<Clock::duration>(std::chrono::milliseconds(200)).count();
    auto due = std::make_shared<std::atomic<Clock::rep>>(
        (Clock::now() + std::chrono::seconds(1)).time_since_epoch().count());
    const unsigned serial = runSerial_;
    return [this, worker, due, step, serial, restore](std::size_t done, std::size_t all) {
        const Clock::rep now = Clock::now().time_since_epoch().count();
        Clock::rep next = due->load(std::memory_order_relaxed);
        if (now < next || !due->compare_exchange_strong(next, now + step)) return;
        worker->Post(
            [this, serial, restore, done, all] { ShowRunProgress(serial, restore, done, all); });
    };
}

void MainForm::ShowRunProgress(unsigned serial, bool restore, std::size_t done, std::size_t all) {
    // A count that arrives after its run's end would hide the last-backup line.
    if (!runUnderWay_ || serial != runSerial_) return;
    const std::string text =
        LanguageText(*this, restore ? TextId::RestoreUnderWay : TextId::BackupUnderWay) +
        std::to_string(done) + LanguageText(*this, TextId::ProgressOf) + std::to_string(all) +
        LanguageText(*this, TextId::PartFilesSuffix);
    label_lastbackup.setCaption(text);
    abfTrayIcon1.setDetail(text);
}

}  // namespace hw
