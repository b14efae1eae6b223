#include "backup/manual_runs.h"

#include "shell/find_files.h"

namespace hw {

bool BackupInsideTemp(bool subfolders, const std::string& backup, const std::string& temp) {
    return subfolders && TextContains(backup, temp);
}

RestoreSources FindRestoreSources(const std::string& backup, const std::string& temp,
                                  const std::string& client, bool subfolders) {
    const GenerationPlaces places = PlacesAfterRepair(backup, temp, client);
    return {SummarizeGeneration(places.newest, subfolders),
            SummarizeGeneration(places.older, subfolders)};
}

}  // namespace hw
