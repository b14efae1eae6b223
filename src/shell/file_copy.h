// The file-system steps behind the file operation: crash-safe file copies, folder trees,
// durability. A copy returns a CopyResult; the other steps return false with errno set.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "shell/folders.h"

namespace hw::files {

// Writes all `size` bytes at the descriptor's position; false with errno set when it cannot.
using ByteWrite = std::function<bool(int to, const char* data, std::size_t size)>;

bool WriteAllBytes(int to, const char* data, std::size_t size);
// Reads `from` to its end and writes every byte to `to`. When it fails and `readFailed` is
// given, that tells whether reading (rather than writing) failed. With `write` given, every
// byte goes through it (and none is moved by the kernel alone).
bool CopyAllBytes(int from, int to, bool* readFailed = nullptr, const ByteWrite& write = {});

// What a judged copy found of its source and left of its copy. None of it can be set back by a
// user or a tool: every change of a file moves its change time, and a replaced file has another
// inode. So a later run that finds both as recorded knows them unchanged without reading them.
struct CopyRecord {
    ino_t sourceInode = 0;
    off_t size = 0;
    struct timespec sourceModified {};
    struct timespec sourceChanged {};
    ino_t copyInode = 0;
    struct timespec copyChanged {};
    // False when the source was written within the clock tick in which it was read: a later
    // write could then get the same change time.
    bool trusted = false;
};

// True when the file system holding `path` keeps real change times and stable inodes, so that a
// record of a file there can be trusted. Not so on FAT and exFAT disks nor through FUSE, where
// the change time may follow the modification time that any tool can set back.
bool KeepsRealChangeTimes(const std::string& path);

// How a copy ended.
enum class CopyStatus {
    Copied,
    SourceFailed,   // the source is missing, unreadable or not a regular file
    SourceRefused,  // judged: its bytes were refused, or it kept changing while it was read
    TargetFailed,   // the copy could not be written
};

// What a copy did, and the system's error for a failed source or target (0 otherwise).
struct CopyResult {
    CopyStatus status = CopyStatus::Copied;
    int error = 0;
    bool Ok() const { return status == CopyStatus::Copied; }
    bool InSource() const {
        return status == CopyStatus::SourceFailed || status == CopyStatus::SourceRefused;
    }
};

// A finished copy left under its temporary name beside its target (see CopyOptions::staged).
struct StagedCopy {
    std::string written;
    std::string target;
};

struct CopyOptions {
    // Write straight to the target and skip the sync (a folder that is itself the temporary);
    // an existing file there is overwritten, one with further hard links replaced. Otherwise go
    // through a temporary name beside the target.
    bool inPlace = false;
    // How the bytes are written; WriteAllBytes, or the kernel's own copy, when empty.
    ByteWrite write;
    // Called right before the finished temporary file is renamed over the target.
    std::function<void()> beforeRename;
    // Judges the bytes before the copy is kept. The source is read into memory once, judged
    // there, and exactly those bytes are written. A copy it refuses is not written (the target
    // keeps what it held): SourceRefused. Only regular files are copied while it is set: a
    // folder fails with EISDIR. A source that changes while it is read is read once more; one
    // that changes again is refused as well. A source changed within the last two seconds is
    // read a second time after a short wait, and counts as changed unless both reads agree. In
    // place, bytes the target holds already are not written again.
    std::function<bool(const std::string& bytes)> accept;
    // Judged: a source of more bytes is refused from its size alone, unread (0: no limit).
    std::size_t largest = 0;
    // In place and judged: what an earlier copy to the target recorded. While the source and the
    // target both still match it, the target is kept and neither is read.
    const CopyRecord* known = nullptr;
    // The folder held none of the targets' names when the run began: in place a target is
    // created as a new file first, and a staged copy is made without a look at its target. A
    // name that is there after all is overwritten or replaced all the same.
    bool newNames = false;
    // Judged: receives the record of the copy made or kept.
    CopyRecord* made = nullptr;
    // Judged: called each time the source has been read whole, before it is looked at again.
    std::function<void()> afterRead;
    // Judged: called instead of the short wait before a source changed just now is read a
    // second time.
    std::function<void()> waitBeforeSecondRead;
    // Judged: the time that the source's change time is compared with; the system's clock when
    // empty.
    std::function<struct timespec()> clock;
    // Not in place: when set, a finished copy stays under its temporary name, unsynced, and is
    // added here; PutStagedInPlace makes many of them durable at once and renames them. A judged
    // copy whose target holds its bytes, permissions and time already is not made.
    std::vector<StagedCopy>* staged = nullptr;
};

// A regular file to exactly `target`, keeping its bytes, permissions and modification time.
// Anything but a regular file (a pipe, a device, a socket) fails without being read, and no
// open ever waits. Unless inPlace, the bytes go to a temporary name beside the target, are
// synced, and are then renamed over it, so `target` holds either its old content or the
// complete copy.
CopyResult CopyFile(const std::string& source, const std::string& target,
                    const CopyOptions& options);
// A file, or a folder with everything in it, to exactly `target` (a folder is merged into an
// existing one of that name).
CopyResult CopyTree(const std::string& source, const std::string& target,
                    const CopyOptions& options);
// Makes the staged copies durable with one sync of each file system they lie on, then renames
// each over its target (calling `beforeRename` first) and syncs each folder once. A target thus
// holds its old content or the whole copy at any moment, and what a kill leaves are temporary
// files (IsOwnTempName). A copy that cannot be put in place is removed; false with errno of the
// first failure, whose target `failedAt` receives.
bool PutStagedInPlace(const std::vector<StagedCopy>& staged, std::string& failedAt,
                      const std::function<void()>& beforeRename = {});
// Puts a new file in the place of `target`, so that a reader sees either the old content or the
// new one in full: `fill` writes the new file (open under a temporary name beside the target,
// mode 0600 until it sets another), which is then synced and renamed over the target, and the
// folder is synced. `beforeRename` runs right before the rename. On failure the temporary file
// is gone and the target untouched; false with errno set.
bool ReplaceFile(const std::string& target, const std::function<bool(int fd)>& fill,
                 const std::function<void()>& beforeRename = {});
// Renames; across file systems copies and then removes the source. The folders of both names
// are synced unless `syncFolders` is false (the caller syncs once after several renames).
bool MoveTree(const std::string& source, const std::string& target, bool syncFolders = true);
// Swaps two paths in one step, so that neither name is ever missing. Fails with EINVAL (or
// ENOSYS) where the file system or kernel cannot do that.
bool ExchangePaths(const std::string& first, const std::string& second, bool syncFolders = true);
// Creates an empty file (replacing one that is there).
bool CreateEmptyFile(const std::string& path);

// True for the name of a temporary file that CopyFile makes and renames away when done: a
// leftover of a copy cut short, and nothing else. Also matches the longer names that earlier
// versions used (the target's name between "." and ".hws-tmp.").
bool IsOwnTempName(const std::string& name);
// One sync of the whole file system that holds `path`.
bool SyncFileSystem(const std::string& path);
// fsync of every file and folder below `path`, folders after their contents.
bool SyncTree(const std::string& path);
// fsync of the folder itself, so that renames and new names in it are durable.
bool SyncFolder(const std::string& path);

bool IsFolder(const std::string& path);
bool IsFile(const std::string& path);
bool Exists(const std::string& path);

}  // namespace hw::files
