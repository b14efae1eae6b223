#include "backup/generation_summary.h"

#include <sys/stat.h>

#include <cstdint>
#include <vector>

#include "backup/folder_safety.h"
#include "backup/part_file_check.h"
#include "backup/run_support.h"
#include "settings/atomic_file.h"
#include "shell/file_copy.h"
#include "shell/find_files.h"

namespace hw {

GenerationSummary SummarizeGeneration(const std::string& folder, bool subfolders,
                                      bool countDamaged) {
    if (folder.empty()) return {};
    // Counted without a path per file where the copies are not read: a generation may hold
    // tens of thousands.
    std::vector<std::string> found;
    std::size_t count = 0;
    if (countDamaged) {
        subfolders ? FindFilesInSubfolders(folder, kBackupFileMask, found)
                   : FindFiles(folder, kBackupFileMask, found);
        count = found.size();
    } else if (subfolders) {
        for (const std::string& subfolder : Subfolders(folder)) {
            count += CountFiles(subfolder, kBackupFileMask);
        }
    } else {
        count = CountFiles(folder, kBackupFileMask);
    }
    struct stat info {};
    if (count == 0 || ::stat(folder.c_str(), &info) != 0) return {};
    GenerationSummary summary{true, info.st_mtim.tv_sec, count, 0};
    for (const std::string& copy : found) {
        // A copy too large to be a part file is damaged by its size, and is not read.
        struct stat copyInfo {};
        std::string bytes;
        if (::stat(copy.c_str(), &copyInfo) != 0 ||
            static_cast<std::uint64_t>(copyInfo.st_size) > kLargestPartFile ||
            !ReadWholeFile(copy, bytes) || !IsWellFormedPartFile(bytes)) {
            ++summary.damaged;
        }
    }
    return summary;
}

bool RestoreMayRepair(const GenerationFolders& folders, const std::string& temp,
                      const std::string& client) {
    if (!LooksLikeAbsolutePath(folders.backup)) return false;
    std::vector<std::string> guarded;
    for (const std::string& folder : {temp, client}) {
        if (LooksLikeAbsolutePath(folder)) guarded.push_back(folder);
    }
    if (AnyOverlaps(folders.All(), guarded) || HoldsForeignEntries(folders.backup, kNewestMark) ||
        HoldsForeignEntries(folders.old, kNewestMark)) {
        return false;
    }
    for (const std::string& hidden : folders.Hidden()) {
        if (IsForeignHiddenFolder(hidden)) return false;
    }
    return true;
}

GenerationPlaces PlacesAfterRepair(const std::string& backup, const std::string& temp,
                                   const std::string& client) {
    const GenerationFolders f(backup);
    const GenerationPlaces asTheyStand{f.backup, f.old};
    GenerationPlaces repaired = asTheyStand;
    // A complete generation under its former name takes the current one first; where both are
    // there, the repair stops before it changes anything.
    const bool former = files::Exists(f.formerComplete);
    if (former && files::Exists(f.complete)) return asTheyStand;
    const std::string complete = former ? f.formerComplete : f.complete;
    if (files::Exists(complete)) {
        // A B that carries the newest mark was swapped in already: the complete folder holds its
        // predecessor. Otherwise the complete folder becomes B, and a B that is there B_old.
        const bool swapped =
            files::Exists(f.backup) && files::Exists(JoinPath(f.backup, kNewestMark));
        if (swapped) {
            repaired = {f.backup, complete};
        } else {
            repaired = {complete, files::Exists(f.backup) ? f.backup : f.old};
        }
    } else if (!files::Exists(f.backup) && files::IsFolder(f.old)) {
        repaired = {f.old, ""};
    }
    if (repaired.newest == asTheyStand.newest && repaired.older == asTheyStand.older) {
        return asTheyStand;
    }
    // The look at every entry of the generations only where the repair would change anything.
    return RestoreMayRepair(f, temp, client) ? repaired : asTheyStand;
}

}  // namespace hw
