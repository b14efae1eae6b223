// Pieces shared by the backup and the restore run.
#pragma once

#include <string>

#include "ui/main_form.h"

namespace hw {

// Marks a manual backup or restore as running for its whole length, message boxes included,
// so that a scheduled backup delivered meanwhile is held back.
class ManualRunScope {
  public:
    explicit ManualRunScope(MainForm& form) : form_(form) { ++form_.manualRunDepth_; }
    ~ManualRunScope() { --form_.manualRunDepth_; }
    ManualRunScope(const ManualRunScope&) = delete;
    ManualRunScope& operator=(const ManualRunScope&) = delete;

  private:
    MainForm& form_;
};

inline const char* const kPartFileMask = "*.part.met";
inline const char* const kBackupFileMask = "*.part.met.HWS";
inline const char* const kBackupSuffix = ".HWS";
inline const char* const kExtrasFolder = "~hws_xtra";
inline const char* const kOldSuffix = "_old";
// Siblings of the backup folder: the generation being written, and the one being thrown away.
inline const char* const kStagingSuffix = ".hws-staging";
inline const char* const kDiscardSuffix = ".hws-discard";

// A folder text as the runs use it: without trailing separators ("/" itself stays).
std::string RunFolder(const std::string& text);
// folder + "/" + name, with a single separator.
std::string JoinPath(const std::string& folder, const std::string& name);
// An additional-file entry may only name a file below the client folder: not absolute and
// without a ".." element.
bool IsSafeExtraEntry(const std::string& entry);
// The part file's name N and, for a file in a subfolder, that subfolder's name S.
std::string LastElement(const std::string& path);
std::string NextToLastElement(const std::string& path);

}  // namespace hw
