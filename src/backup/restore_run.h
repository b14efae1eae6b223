// The restore run: the part files of the backup folder back into the temp folder, then the
// additional files back into the client folder. Every copy replaces its target only when whole.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "backup/run_report.h"
#include "shell/background_removal.h"
#include "shell/file_operation.h"

namespace hw {

struct RestoreRequest : RunInputs {
    explicit RestoreRequest(RunInputs inputs = {}) : RunInputs(std::move(inputs)) {}
    bool older = false;  // from B_old
    // Only the part files at these places (see DownloadRow::place in backup/backup_contents.h)
    // and no additional file; every part file and the additional files when empty.
    std::vector<std::string> only;
    // With `only`, and in the same run: places brought back from B_old where `older` is not set
    // (lost downloads that only the older generation holds whole). Ignored where `only` names
    // the place as well.
    std::vector<std::string> onlyFromOlder;
    RunProgress progress;
};

struct RestoreReport {
    // Failed also where only damaged backup copies were left out.
    RunResult outcome = RunResult::Failed;
    RunRefusal refusal;
    // The first failure that is no damaged copy; None where there was none.
    RunFailure failure;
    // The backup copies left out for being no whole part file.
    std::vector<std::string> damagedCopies;
    // The additional files that could not be restored, as the user names them.
    std::vector<std::string> extrasFailed;
    // The places of `only` that the generation holds no copy of (the run then failed).
    std::vector<std::string> notInBackup;
    std::size_t files = 0;  // restored, or already holding the backup's bytes
};

// The check that comes first, before the backup folder is reserved or repaired: an OtherOwner
// refusal (see OwnerRefusal) where this user may not restore into the temp folder.
RunRefusal RestoreOwnerRefusal(const RestoreRequest& request);

RestoreReport RunRestore(const RestoreRequest& request, TabfFileOperation& op,
                         BackgroundRemoval& removal);

// Copies the additional files from the extras folder of `generation` into the client folder;
// the entries that could not be, as the user names them.
std::vector<std::string> RestoreAdditionalFiles(TabfFileOperation& op,
                                                const std::string& generation,
                                                const std::string& client,
                                                const std::vector<std::string>& entries);

}  // namespace hw
