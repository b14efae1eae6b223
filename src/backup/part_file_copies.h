// The part files of one backup into its staging folder. Only well-formed part files are
// copied: a client rewrites them every minute and leaves them empty or cut short after a
// crash, and a damaged copy must never push the last good one out of the generations.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "backup/copy_records.h"
#include "backup/run_report.h"
#include "shell/file_operation.h"

namespace hw {

struct PartFileJob {
    std::string source;    // the part file in the temp folder
    std::string target;    // its copy in the staging folder
    std::string previous;  // its copy in the current generation, where the new one goes too
    std::string place;     // the copy's path below the generation folder
};

// What became of the part files of one run. Files are named by their source path.
struct PartFileCopies {
    std::size_t written = 0;           // copied, or carried over from the current generation
    std::vector<std::string> tooLong;  // the target's name is too long for the backup's disk
    std::vector<std::string> badName;  // the backup's disk cannot store the target's name
    std::vector<std::string> kept;     // damaged or unreadable; the previous copy carried over
    std::vector<std::string> lost;     // damaged or unreadable; no good previous copy existed
    // Missing while the client's spare of it is there; kept from the spare or the previous copy.
    std::vector<std::string> spareOnly;
    // The temp folder, where it vanished (its disk removed, the folder moved) while its part
    // files were copied: the run fails, and files missing then tell nothing about downloads.
    std::string sourceGone;
    std::string notWritten;  // the backup file that could not be written
    CopyRecords records;     // of the copies made or kept, by place
};

// Copies each source to its target, in place in the staging folder held open, when its bytes
// are a well-formed part file; folders are made only inside it. Sources found
// damaged or missing are read once more after `pause` (one pause for all of them), since the
// client may be rewriting them; one still missing is left out (its download completed) unless
// the client's spare of it is there. For a source still damaged, missing beside its spare, or
// unreadable, the spare is taken when it is a well-formed part file not older than the previous
// copy, else the previous copy is carried over when that is well-formed. A target whose record
// in `known` still holds is kept unread. Fails with the path and errno of the first target that
// could not be written (the staging folder is then unusable, and `notWritten` names the file),
// or, with neither, when `temp`, the temp folder held open by the run, is gone while sources are
// missing or unreadable (`sourceGone`).
// `fresh` tells that the staging folder was made empty for this run. `progress`, where given,
// is told each source as its first copy ends.
StepResult CopyPartFiles(TabfFileOperation& op, files::FolderAnchor& staging, bool fresh,
                         const std::vector<PartFileJob>& jobs, const CopyRecords& known,
                         const files::FolderAnchor& temp, const std::function<void()>& pause,
                         PartFileCopies& copies, PartFileProgress* progress = nullptr);

// A copy that refuses every file that is not a well-formed part file (SourceRefused).
TabfFileOperation::CopyMode PartFilesOnly();

}  // namespace hw
