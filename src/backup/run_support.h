// Pieces shared by the backup and the restore run.
#pragma once

#include <string>
#include <vector>

#include "base/paths.h"

namespace hw {

inline const char* const kPartFileMask = "*.part.met";
inline const char* const kBackupFileMask = "*.part.met.HWS";
inline const char* const kBackupSuffix = ".HWS";
inline const char* const kExtrasFolder = "~hws_xtra";
// What aMule names the copies of a part file that it keeps beside it: while writing the file
// anew, and from the last time it was written whole.
inline const char* const kClientSpareSuffixes[] = {".backup", ".bak"};
inline const char* const kOldSuffix = "_old";
// Siblings of the backup folder, hidden by a dot before its name: the generation being
// written, the written one once it is complete and synced, and the one being thrown away.
inline const char* const kStagingSuffix = ".hws-staging";
inline const char* const kCompleteSuffix = ".hws-new";
inline const char* const kDiscardSuffix = ".hws-discard";
// Lies in the newest generation from the moment it is complete until it has its place as B:
// it tells the newer of two folders apart after a swap cut short.
inline const char* const kNewestMark = ".hws-newest";
// Lies in every generation folder from the moment the backup makes it: only a hidden folder
// that carries it is ever reused, emptied or removed.
inline const char* const kOwnMark = ".hws-generation";
// What the copies of a generation were made from (see files::CopyRecord).
inline const char* const kRecordName = ".hws-record";

// An additional-file entry may only name a file below the client folder: not absolute and
// without a ".." element.
bool IsSafeExtraEntry(const std::string& entry);
// The folders into which a restore writes: the temp folder, its immediate subfolders, and the
// folder of every safe additional-file entry in the client folder (the latter only for a full
// client path). Each once.
std::vector<std::string> RestoreTargetFolders(const std::string& temp, const std::string& client,
                                              const std::vector<std::string>& entries);
// The folder of every safe additional-file entry in the client folder, for a full client path;
// each once.
std::vector<std::string> ExtraTargetFolders(const std::string& client,
                                            const std::vector<std::string>& entries);

// What one walk of the temp folder and its immediate subfolders finds: the part files to back up
// (at the top, or in subfolder mode in the subfolders), in the order listed, and the temporary
// files that copies cut short left anywhere there.
struct TempFolderListing {
    std::vector<std::string> partFiles;  // below the temp folder: "001.part.met", "Temp1/..."
    std::vector<std::string> leftovers;  // full paths
};
TempFolderListing ListTempFolder(const std::string& temp, bool subfolders);
// An additional-file entry as the error lists name it: its path in `folder`, or the entry as
// written when it is refused for being absolute.
std::string ExtraEntryShown(const std::string& folder, const std::string& entry);
// The part file's name N and, for a file in a subfolder, that subfolder's name S.
std::string LastElement(const std::string& path);
std::string NextToLastElement(const std::string& path);

}  // namespace hw
