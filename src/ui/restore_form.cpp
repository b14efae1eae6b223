// The Restore run as the window starts it: the fields read once into a request, the engine's
// run (backup/restore_run.h) here or on the worker, and its report in the user's words.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "backup/restore_run.h"
#include "backup/run_support.h"
#include "base/paths.h"
#include "ui/contents_view.h"
#include "ui/main_form.h"
#include "ui/manual_run_scope.h"
#include "ui/run_texts.h"

namespace hw {

void MainForm::RestorePartFiles(bool older, std::vector<std::string> only,
                                std::vector<std::string> fromOlder) {
    if (RunUnderWay()) return;
    ManualRunScope scope(*this);
    runFiles_ = 0;
    runDamaged_ = 0;
    runEnd_ = RunEnd::Failed;
    RestoreRequest request(ReadRunInputs());
    runFolder_ = request.backup;
    request.older = older;
    request.only = std::move(only);
    request.onlyFromOlder = std::move(fromOlder);
    // Before the backup folder is reserved, as the run checks it first.
    const RunRefusal owner = RestoreOwnerRefusal(request);
    if (owner.kind != RefusalKind::None) {
        RestoreReport refused;
        refused.outcome = RunResult::Refused;
        refused.refusal = owner;
        RestoreEnded(refused);
        return;
    }
    // A backup under way would rotate the generations while they are read.
    const std::string inUse = ReserveBackupFolder(request.backup);
    if (!inUse.empty()) {
        RefuseRun(inUse);
        return;
    }
    if (services.worker == nullptr) {
        RestoreEnded(RunRestore(request, abfFileOperation1, discardRemoval_));
        return;
    }
    struct Run {
        RestoreRequest request;
        TabfFileOperation op;
        RestoreReport report;
    };
    auto run = std::make_shared<Run>(Run{std::move(request), abfFileOperation1, {}});
    BackgroundRemoval* removal = &discardRemoval_;
    StartOnWorker(
        true, run->request.progress,
        [run, removal] { run->report = RunRestore(run->request, run->op, *removal); },
        [this, run] {
            ManualRunScope shown(*this);
            RestoreEnded(run->report);
        });
}

void MainForm::RestoreEnded(const RestoreReport& report) {
    const RunTexts texts = RestoreTexts(*this, report);
    runFiles_ = report.files;
    runDamaged_ = report.damagedCopies.size();
    runEnd_ = RestoreEnd(report);
    for (const RunMessage& message : texts.messages) ShowMessage(message.text, message.caption);
    RecordRun(true, false, report.outcome == RunResult::Succeeded, texts.history);
}

}  // namespace hw
