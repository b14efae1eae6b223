// The generation folders of one backup folder B, and the steps that replace them so that a run
// stopped at any moment (a kill, a power cut) leaves B or a complete successor of it, and the
// next run or restore finds its way from there without deleting the newest complete generation.
//
// A run writes .B.hws-staging, marks and syncs it, renames it to .B.hws-new (complete), then sets
// B_old aside as .B.hws-discard, swaps .B.hws-new with B in one step, renames the swapped-out
// generation to B_old and removes the mark. The discard folder stays, hidden, and the next run
// overwrites it as its staging folder; on a nearly full disk it is removed on a worker thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "backup/folder_safety.h"
#include "backup/part_file_copies.h"
#include "shell/background_removal.h"
#include "shell/file_operation.h"

namespace hw {

struct GenerationFolders {
    explicit GenerationFolders(const std::string& backupFolder);
    std::string backup;
    std::string old;
    std::string staging;
    std::string complete;
    std::string discard;
    // The same three under the names of earlier versions, without the dot (B.hws-new): the next
    // run takes them over.
    std::string formerStaging;
    std::string formerComplete;
    std::string formerDiscard;
    // The hidden folders, which a run reuses, empties and removes unasked.
    std::vector<std::string> Hidden() const {
        return {staging, complete, discard, formerStaging, formerComplete, formerDiscard};
    }
    // Every folder that a run renames or deletes.
    std::vector<std::string> All() const {
        std::vector<std::string> all{backup, old};
        for (const std::string& hidden : Hidden()) all.push_back(hidden);
        return all;
    }
};

// Finishes whatever a run cut short: takes over the hidden folders left under their former names
// (see TakeOverFormerNames), removes an unfinished staging folder (and the discard
// folder on a nearly full disk), puts a complete new generation in its place, and gives B back its
// previous generation when only B_old is left. Fails with the step that failed.
StepResult RepairGenerations(TabfFileOperation& op, BackgroundRemoval& removal,
                             const GenerationFolders& folders);

// True when RepairGenerations would change anything: a restore skips it, and the look at every
// entry of B and B_old that must come before it, when it would not.
bool RepairNeeded(const BackgroundRemoval& removal, const GenerationFolders& folders);

// Gives each hidden folder under its former name the current one; where that is taken, the former
// one goes, except a complete generation, which is never thrown away unseen (the step fails with
// EEXIST on it). A folder that is not plainly the program's own (see IsForeignHiddenFolder) is
// left alone: the run refuses it by name before it comes here. Fails with the step that failed.
StepResult TakeOverFormerNames(TabfFileOperation& op, const GenerationFolders& folders);

enum class StageResult { Staged, NothingStaged, Failed };

// What StageGeneration did and, where it failed, the path and errno of the step that failed
// (none where no step did: the temp folder or the staging folder gone, a complete generation
// there). What is removed after the failure never takes its place.
struct StagingResult {
    StageResult result = StageResult::Failed;
    StepResult failure;
    bool reusedKept = false;  // staged into the kept generation rather than an empty folder
    bool noInodes = false;    // failed with ENOSPC while the disk had no free inode left
};

// Copies the part files into the staging folder (see CopyPartFiles) and makes the folder the
// complete new generation. The staging folder is the kept discard folder when there is one
// that carries the program's mark and that no removal is working on. A file that could not be
// written fails the whole generation and removes it; one left out for its own sake (damaged, a
// name the disk cannot store) is only reported.
// The staging folder is made relative to `parent`, B's parent folder held open by the run, and
// folders below it only while it is there; copies found unchanged by their records (trusted only
// with `trustRecords`) are kept unread. `temp` is the temp folder held open by the run; where
// it vanishes, the kept discard folder is left as the kept discard folder. `kept`: the discard
// folder's entries as the run's check listed them, taken instead of a listing of its own where
// the folder is unchanged since and the disk keeps real change times. `progress`: see
// CopyPartFiles.
StagingResult StageGeneration(TabfFileOperation& op, BackgroundRemoval& removal,
                              const std::vector<PartFileJob>& jobs,
                              const GenerationFolders& folders, files::FolderAnchor& parent,
                              const files::FolderAnchor& temp, FolderListing kept,
                              bool trustRecords, const std::function<void()>& pause,
                              PartFileCopies& copies, PartFileProgress* progress = nullptr);

// The part-file copies of the generation a run has just staged, where the run holds a trusted
// record of every one of them: all that the next run could write anew, known without a look at
// the disk.
struct StagedCopies {
    std::size_t files = 0;
    std::uint64_t bytes = 0;
    std::size_t subfolders = 0;
};
// The copies of `copies.records` when every one of the `copies.written` copies has a trusted
// record; none otherwise (a copy carried over has none, and its size is not known).
std::optional<StagedCopies> StagedCopiesOf(const PartFileCopies& copies);

// Makes the complete new generation B and the former B B_old; the former B_old becomes the
// kept discard folder. That is removed in the background where the next run, writing what
// changed since it into it, would leave less than 5 % of the disk's space or inodes free; after
// a run that had no kept generation to reuse (`keptBefore` false) one is kept only where 7.5 %
// would stay free. `staged`, where given, are the copies of the generation being promoted: where
// even all of them written anew leave that much free, the records are not read to tell what
// changed. Also continues a promotion cut short. Fails with the step that failed; the complete
// generation then stays for the next run to put in place.
StepResult PromoteGeneration(TabfFileOperation& op, BackgroundRemoval& removal,
                             const GenerationFolders& folders, bool keptBefore = true,
                             const StagedCopies* staged = nullptr);

// The extras folders of B and B_old with every folder below them.
std::vector<std::string> ExtrasFolders(const GenerationFolders& folders);

// Removes the temporary files that copies cut short left in these folders, and nothing else.
void RemoveCopyLeftovers(TabfFileOperation& op, const std::vector<std::string>& folders);
// Removes each of these paths that is a regular file with a copy's temporary name.
void RemoveLeftoverFiles(TabfFileOperation& op, const std::vector<std::string>& paths);

}  // namespace hw
