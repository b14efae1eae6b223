// The backup run: part files into a new generation of the backup folder, the previous one kept
// as B_old, then the additional files. How the generations are replaced: backup/generations.h.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "backup/run_report.h"
#include "shell/background_removal.h"
#include "shell/file_operation.h"

namespace hw {

struct BackupRequest : RunInputs {
    explicit BackupRequest(RunInputs inputs = {}) : RunInputs(std::move(inputs)) {}
    // Waits before damaged part files are read again; empty: one second.
    std::function<void()> pauseBeforeRereading;
    RunProgress progress;
};

struct BackupReport {
    // NothingToDo also where every part file vanished since the listing (their downloads ended).
    RunResult outcome = RunResult::Failed;
    RunRefusal refusal;
    // Where the new generation could not be made; None where it was (see the lists). Unexplained
    // until the run has got that far, so that a run cut short never reads as a success.
    RunFailure failure{FailureKind::Unexplained, "", 0};
    // Part files by their source path (see PartFileCopies).
    std::vector<std::string> kept;
    std::vector<std::string> spareOnly;
    std::vector<std::string> lost;
    std::vector<std::string> tooLong;
    std::vector<std::string> badName;
    // The additional files that could not be copied, as the user names them
    // (ExtraEntryShown); or the generation folder, where it vanished while they were.
    std::vector<std::string> extrasFailed;
    std::string extrasFolderGone;
    std::size_t files = 0;    // copied, or carried over
    std::size_t damaged = 0;  // kept, spare only or lost
};

// Runs a backup. Touches nothing but the folders named and `op` (whose seams it uses); the
// generation thrown away goes to `removal`.
BackupReport RunBackup(const BackupRequest& request, TabfFileOperation& op,
                       BackgroundRemoval& removal);

// What BackupAdditionalFiles found: the entries not copied, or the generation gone.
struct ExtrasReport {
    std::vector<std::string> failed;
    std::string folderGone;
};
// Copies the additional files from the client folder into the extras folder of `backup`.
ExtrasReport BackupAdditionalFiles(TabfFileOperation& op, const std::string& client,
                                   const std::string& backup,
                                   const std::vector<std::string>& entries);

}  // namespace hw
