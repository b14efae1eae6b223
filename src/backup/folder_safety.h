// The backup moves and deletes its folders as a whole, so none of them may be the client's
// temp folder or client folder, or lie above one of them, or hold anything of the user's.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "backup/run_report.h"

namespace hw {

// True when `upper` is the same folder as `lower` or a folder above it. Folders that exist are
// told apart by their identity on the disk, not by their names, so that a link, a bind mount or
// a name in other letter case that leads to the same folder counts as that folder. Where a path
// does not exist yet, its missing rest is compared by its normalised text; a relative text is
// taken from the current folder.
bool IsSameOrAbove(const std::string& upper, const std::string& lower);

// True when any of `moved` is the same as or above any non-empty text of `guarded`.
bool AnyOverlaps(const std::vector<std::string>& moved, const std::vector<std::string>& guarded);

// True for an existing folder that is the root of a mounted file system (a disk, a bind mount):
// it cannot be renamed, so a backup could never replace it.
bool IsMountPoint(const std::string& folder);

// True when the folder holds anything the backup does not make in a generation folder: only
// names ending in ".HWS" (any letter case) that are not folders, the extras folder holding only
// files and folders, the given marker file and the program's own bookkeeping files, temporary
// files of copies cut short, and folders holding only such ".HWS" files belong there; nothing
// of another mounted file system does. Also true for a path that exists but is no folder or
// cannot be listed; false for a missing one. `seen`, when given, is told every name the walk
// met, at the top (subfolder "") and in the subfolders looked into: all of them where nothing
// foreign was found.
using SeenEntry = std::function<void(const std::string& subfolder, const std::string& name)>;
bool HoldsForeignEntries(const std::string& folder, const std::string& marker,
                         const SeenEntry& seen = {});

// For the hidden generation folders beside B, which the backup reuses, empties and removes
// unasked: true for anything there but a plain folder of the parent's file system that is empty
// or carries the program's own mark and holds only what the backup writes. False when missing.
bool IsForeignHiddenFolder(const std::string& folder);

// Why this user may not run on these paths: root on another user's `settingsFile` (the files it
// made would stay in that user's folders, changeable only by root), or a path (a link itself)
// that another user owns. An OtherOwner refusal naming the first such path, else kind None.
RunRefusal OwnerRefusal(const std::vector<std::string>& paths, const std::string& settingsFile);

}  // namespace hw
