// The part files of one backup into its staging folder. Only well-formed part files are
// copied: a client rewrites them every minute and leaves them empty or cut short after a
// crash, and a damaged copy must never push the last good one out of the generations.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "backup/copy_records.h"
#include "backup/run_report.h"
#include "shell/file_operation.h"

namespace hw {

// Where the part files of a run and their copies lie; one for all its jobs.
struct PartFileFolders {
    std::string temp;     // the temp folder
    std::string staging;  // the generation being written
    std::string backup;   // the current generation
};

// One part file of a run. Tens of thousands of them are held at once: each keeps only its place,
// and its paths are made when needed.
struct PartFileJob {
    std::string place;  // the copy's path below the generation folder, ending in kBackupSuffix
    const PartFileFolders* folders = nullptr;

    // The part file's path below the temp folder: the place without the suffix.
    std::string_view SourceInTemp() const;
    std::string Source() const;    // the part file in the temp folder
    std::string Target() const;    // its copy in the staging folder
    std::string Previous() const;  // its copy in the current generation, where the new one goes too
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
    // Of the copies made or kept, by place; the files left out or kept otherwise have untrusted
    // ones, which are never saved.
    CopyRecords records;
};

// Copies each source to its target, in place in the staging folder held open, when its bytes
// are a well-formed part file; folders are made only inside it. The records of the copies kept
// are checked relative to the temp folder and the staging folder held open. Sources found
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
