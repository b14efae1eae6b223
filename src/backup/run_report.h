// What a backup or restore run found, as facts for the caller to put into words: how it ended,
// why it was refused or failed (with the path and the errno), and the part files it counted.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace hw {

enum class RunResult {
    NothingToDo,  // no part file to back up: nothing was changed
    Succeeded,
    Failed,   // see the report's failure and lists
    Refused,  // see the report's refusal: nothing was changed
};

enum class RefusalKind {
    None,
    BackupNotAbsolute,
    BackupOverlaps,    // a generation folder is or lies above the temp or the client folder
    NotAFolder,        // path: the file at or above a generation folder
    OtherOwner,        // path, user; settingsFile: the path is the settings file
    MountPoint,        // path: the generation folder
    Foreign,           // path: the folder holding what the backup did not make
    TempNotAbsolute,   // a restore's
    TempMissing,       // path: the temp folder
    NothingToRestore,  // path: the generation read, where it is absent or empty; else empty
};

struct RunRefusal {
    RefusalKind kind = RefusalKind::None;
    std::string path;
    std::string user;  // the owner's name, or "#" and the number
    bool settingsFile = false;
};

inline RunRefusal RefusalOf(RefusalKind kind, std::string path = {}) {
    RunRefusal refusal;
    refusal.kind = kind;
    refusal.path = std::move(path);
    return refusal;
}

enum class FailureKind {
    None,
    Unexplained,     // failed without a cause to name
    TempGone,        // path: the temp folder, gone while its part files were copied
    FolderGone,      // path: the backup's generation folder, or a restore's temp folder
    FileNotWritten,  // path: the backup file
    NotChanged,      // path, error
    NotRead,         // path, error: a restore's backup copy
};

struct RunFailure {
    FailureKind kind = FailureKind::None;
    std::string path;
    int error = 0;
    // The disk was out of space for want of inodes, not of bytes (a file not written, or a step
    // that failed with ENOSPC).
    bool noInodes = false;
};

// What a backup and a restore both work on.
struct RunInputs {
    // Without trailing separators; for a restore `backup` is B, whichever generation is read.
    std::string temp;
    std::string backup;
    std::string client;
    bool subfolders = false;
    // The additional files, relative to the client folder.
    std::vector<std::string> entries;
    // Root may not run on another user's settings file; empty: not checked.
    std::string settingsFile;
};

// Told as part files are done: how many so far, of all. Called from the run's threads.
using RunProgress = std::function<void(std::size_t done, std::size_t all)>;

// Counts the part files done across the copying threads, for a RunProgress.
class PartFileProgress {
  public:
    PartFileProgress(const RunProgress& tell, std::size_t all) : tell_(tell), all_(all) {}
    void Done() {
        const std::size_t done = done_.fetch_add(1, std::memory_order_relaxed) + 1;
        if (tell_) tell_(done, all_);
    }

  private:
    const RunProgress& tell_;
    std::size_t all_;
    std::atomic<std::size_t> done_{0};
};

}  // namespace hw
