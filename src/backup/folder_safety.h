// The backup moves and deletes its folders as a whole, so none of them may be the client's
// temp folder or client folder, or lie above one of them, or hold anything of the user's.
#pragma once

#include <sys/stat.h>

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
// met with the type the listing gave (DT_UNKNOWN where it gave none), at the top (subfolder "")
// and in the subfolders looked into: all of them where nothing foreign was found.
using SeenEntry =
    std::function<void(const std::string& subfolder, const std::string& name, unsigned char type)>;
bool HoldsForeignEntries(const std::string& folder, const std::string& marker,
                         const SeenEntry& seen = {});

// The entries at the top of a folder as one listing found them, with the folder's identity and
// modification time from just before it. A later step of the same run may take them instead of
// listing the folder again (a generation lists thousands), as long as the folder, renamed or not,
// is the same one and unchanged since (see StillAsListed): adding, removing or renaming an entry
// changes a folder's modification time.
struct FolderListing {
    bool taken = false;
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    // Each name ends in a NUL, in the order of `types`, which holds the listed type of each: one
    // text of all names costs a fraction of a text each.
    std::string names;
    std::vector<unsigned char> types;
    void Add(const std::string& name, unsigned char type);
    void ForEach(
        const std::function<void(const std::string& name, unsigned char type)>& visit) const;
};

// For the hidden generation folders beside B, which the backup reuses, empties and removes
// unasked: true for anything there but a plain folder of the parent's file system that is empty
// or carries the program's own mark and holds only what the backup writes. False when missing.
// `listing`, when given, receives the folder's top entries where it is found to be the program's
// own and not empty (see FolderListing), and is left not taken otherwise.
bool IsForeignHiddenFolder(const std::string& folder, FolderListing* listing = nullptr);

// True when `folder` is the folder `listing` was taken of and has not changed since.
bool StillAsListed(const std::string& folder, const FolderListing& listing);

// Why this user may not run on these paths: root on another user's `settingsFile` (the files it
// made would stay in that user's folders, changeable only by root), or a path (a link itself)
// that another user owns. An OtherOwner refusal naming the first such path, else kind None.
RunRefusal OwnerRefusal(const std::vector<std::string>& paths, const std::string& settingsFile);

}  // namespace hw
