// The part files of one backup into its staging folder. Only well-formed part files are
// copied: a client rewrites them every minute and leaves them empty or cut short after a
// crash, and a damaged copy must never push the last good one out of the generations.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "shell/file_operation.h"

namespace hw {

struct PartFileJob {
    std::string source;    // the part file in the temp folder
    std::string target;    // its copy in the staging folder
    std::string previous;  // its copy in the current generation, where the new one goes too
};

// What became of the part files of one run. Files are named by their source path.
struct PartFileCopies {
    std::size_t written = 0;           // copied, or carried over from the current generation
    std::vector<std::string> tooLong;  // the target's name is too long for the backup's disk
    std::vector<std::string> kept;     // damaged or unreadable; the previous copy carried over
    std::vector<std::string> lost;     // damaged or unreadable; no good previous copy existed
    std::string notWritten;            // the backup file that could not be written
};

// Copies each source to its target when its bytes are a well-formed part file. Sources found
// damaged or missing are read once more after `pause` (one pause for all of them), since the
// client may be rewriting them; one still missing is left out (its download completed). For a
// source still damaged, or one that cannot be read, its previous copy is carried over when
// that is well-formed. False when a target could not be written: the staging folder is then
// unusable, and `notWritten` names the file.
bool CopyPartFiles(TabfFileOperation& op, const std::vector<PartFileJob>& jobs,
                   const std::function<void()>& pause, PartFileCopies& copies);

// Makes the file operation refuse, for its lifetime, every copy that is not a well-formed part
// file.
class PartFileCheckScope {
  public:
    explicit PartFileCheckScope(TabfFileOperation& op);
    ~PartFileCheckScope() { op_.acceptCopy = nullptr; }
    PartFileCheckScope(const PartFileCheckScope&) = delete;
    PartFileCheckScope& operator=(const PartFileCheckScope&) = delete;

  private:
    TabfFileOperation& op_;
};

}  // namespace hw
