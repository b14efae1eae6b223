// Folder trees made and removed without ever following a link or crossing into another mounted
// file system: a bind mount or a disk that lies inside a folder of the backup is someone's data.
#pragma once

#include <sys/types.h>

#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace hw::files {

// Removes a file, or a folder with everything in it, walking by descriptor. A link is removed,
// never followed; a folder that is the root of a mount or lies on another device than its parent
// is left alone and fails the removal with EXDEV, and so does `path` itself when it is one.
// An entry named `last` goes after everything else in its folder, so that a removal cut short
// leaves it. False with errno set when something could not be removed (ENOENT when nothing was
// there); `failedAt`, when given, then receives the path at which it stopped.
bool RemoveTree(const std::string& path, std::string* failedAt = nullptr,
                const std::string& last = "");

// Creates the folder and any missing folder above it.
bool MakeFolders(const std::string& path);

// Called for an entry of a folder with its name and its type as the listing gives it (DT_REG,
// DT_DIR, ... or DT_UNKNOWN); returns false to stop the walk.
using EntryVisit = std::function<bool(const std::string& name, unsigned char type)>;
// Visits every entry of the open folder but "." and "..", in the listing's order, until a visit
// returns false. False with errno set when the folder cannot be listed or its listing breaks
// off; a visit that stops the walk is no failure. The descriptor stays the caller's.
bool ForEachEntryAt(int folder, const EntryVisit& visit);
// The same for the folder at `path` (a link to a folder is followed).
bool ForEachEntry(const std::string& path, const EntryVisit& visit);
// Appends the name of every entry of the open folder but "." and "..". False with errno set.
bool ListFolderAt(int folder, std::vector<std::string>& names);

// True when `name` in the folder open as `folder` is the root of a mounted file system (a disk,
// a bind mount, also one of the same file system). Links are not followed.
bool IsMountRootAt(int folder, const char* name);

// A folder held open for a whole run. Folders below it are made relative to the descriptor and
// only while its path still leads to it, so that a disk unmounted meanwhile gets nothing made on
// whatever now lies at that path, and a folder it made that disappears is not made again.
class FolderAnchor {
  public:
    FolderAnchor() = default;
    ~FolderAnchor();
    FolderAnchor(const FolderAnchor&) = delete;
    FolderAnchor& operator=(const FolderAnchor&) = delete;

    // Holds the folder at `path` (a link to it is followed). False with errno set.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    int Descriptor() const { return fd_; }
    // True while the path still leads to the folder held open.
    bool StillThere() const;
    // Makes the missing folders of `path`, the anchor itself or a folder below it. Fails with
    // ENOENT when the anchor is gone from its path or a folder it made is gone, with EXDEV for a
    // path elsewhere.
    bool MakeBelow(const std::string& path);

  private:
    int fd_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    std::string path_;
    std::set<std::string> made_;  // relative to the anchor
    std::mutex making_;           // copies on several threads make folders below it
};

}  // namespace hw::files
