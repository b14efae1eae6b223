// What a backup or restore started by the user decides before the run: whether the backup folder
// lies in the temp folder, and which generation a restore reads. For the window and the command
// line alike.
#pragma once

#include <string>

#include "backup/generation_summary.h"

namespace hw {

// In subfolder mode every subfolder of the temp folder is backed up: a backup folder whose text
// contains the temp folder's would be copied into itself. Decided on the texts as given.
bool BackupInsideTemp(bool subfolders, const std::string& backup, const std::string& temp);

// The two generations a restore may read, where the repair that it makes first leaves them.
struct RestoreSources {
    GenerationSummary newest;
    GenerationSummary older;
    // Only the older one holds part files: a restore reads it, passing over an empty newest one.
    bool OnlyOlder() const { return !newest.present && older.present; }
    // The newest holds fewer part files than the older one: the older one is offered as well.
    bool NewestHoldsFewer() const {
        return newest.present && older.present && newest.files < older.files;
    }
};
// Folders without trailing separators.
RestoreSources FindRestoreSources(const std::string& backup, const std::string& temp,
                                  const std::string& client, bool subfolders);

}  // namespace hw
