// What one generation of the backup holds, as the restore question and the status report tell
// it, and where the generations lie as the next restore will find them.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>

#include "backup/generations.h"

namespace hw {

struct GenerationSummary {
    bool present = false;  // holds at least one part-file copy
    // The folder's time: the last name put in or taken out of it was the mark that a backup
    // removes once the generation is in place.
    std::time_t when = 0;
    std::size_t files = 0;
    std::size_t damaged = 0;  // counted only on request
};

// `countDamaged` reads every copy and counts those that are no whole part file.
GenerationSummary SummarizeGeneration(const std::string& folder, bool subfolders,
                                      bool countDamaged = false);

// True when a restore may put the generations of B right before it reads them: only where
// neither they nor the hidden folders beside them hold anything of the user's, and none of them
// is the temp or the client folder or lies above one. Empty texts guard nothing.
bool RestoreMayRepair(const GenerationFolders& folders, const std::string& temp,
                      const std::string& client);

// The folders that hold the newest and the older generation once the repair that a restore
// makes first (RepairGenerations) has finished a backup cut short: a rotation killed between
// its renames leaves the newest one as .B.hws-new, or only B_old. Only looks; empty `older` when
// the repair leaves none.
struct GenerationPlaces {
    std::string newest;
    std::string older;
};
GenerationPlaces PlacesAfterRepair(const std::string& backup, const std::string& temp,
                                   const std::string& client);

}  // namespace hw
