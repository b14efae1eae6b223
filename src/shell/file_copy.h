// Crash-safe copies of files and folder trees, the steps behind TabfFileOperation::Copy. A copy
// returns a CopyResult. The renames and syncs that put copies in place, and what the copies ask
// of the file system, have headers of their own, included here for the callers of all three.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "shell/file_replace.h"
#include "shell/file_system_facts.h"
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

// True when the source and the target are both still as an earlier copy recorded them, and no
// other name links to the target: the file at `source` (a link is followed) relative to the open
// folder `sourceFolder`, the one at `target` relative to `targetFolder` (AT_FDCWD for either:
// the path as it is). Relative to folders held open, a run of thousands walks no path twice.
bool StillAsRecordedAt(int sourceFolder, const char* source, int targetFolder, const char* target,
                       const CopyRecord& record);
// The same for a source already looked at: `source` is what stat told of it. The target is
// looked at only where the source is still as recorded.
bool StillAsRecordedAt(const struct stat& source, int targetFolder, const char* target,
                       const CopyRecord& record);

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

// How a copy is made: by default unjudged, through a temporary name beside the target that is
// synced and renamed over it. TabfFileOperation::CopyMode is this same type; the operation fills
// in the seams (the last five fields) from its own members and makes missing folders itself.
// A copy reads nothing but these options, so copies with the same options may run on several
// threads at once: every function set here must then be safe to call from each of them.
struct CopyOptions {
    // Write straight to the target and skip the sync: only while filling a folder that is itself
    // the temporary, which the caller makes durable (TabfFileOperation::Flush) before renaming it
    // into place. An existing file there is overwritten, one with further hard links replaced;
    // the operation removes the name of a copy that failed.
    bool inPlace = false;
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
    // The folder held none of the targets' names when the run began: in place a target is
    // created as a new file first, and a staged copy is made without a look at its target. A
    // name that is there after all is overwritten or replaced all the same.
    bool newNames = false;
    // In place and judged: what an earlier copy to the target recorded. While the source and the
    // target both still match it, the target is kept and neither is read.
    const CopyRecord* known = nullptr;
    // Judged: receives the record of the copy made or kept.
    CopyRecord* made = nullptr;
    // For TabfFileOperation::Copy, which makes the missing folders of a target: when set, only
    // below this folder and relative to it, failing with ENOENT once it is gone from its path.
    // CopyFile and CopyTree make no folders.
    FolderAnchor* within = nullptr;
    // Not in place: when set, a finished copy stays under its temporary name, unsynced, and is
    // added here; PutStagedInPlace makes many of them durable at once and renames them. A judged
    // copy whose target holds its bytes, permissions and time already is not made.
    std::vector<StagedCopy>* staged = nullptr;

    // How the bytes are written; WriteAllBytes, or the kernel's own copy, when empty.
    ByteWrite write;
    // Called right before the finished temporary file is renamed over the target.
    std::function<void()> beforeRename;
    // Judged: called each time the source has been read whole, before it is looked at again.
    std::function<void()> afterRead;
    // Judged: called instead of the short wait before a source changed just now is read a
    // second time.
    std::function<void()> waitBeforeSecondRead;
    // Judged: the time that the source's change time is compared with; the system's clock when
    // empty.
    std::function<struct timespec()> clock;
};

// True when a judged copy of a source as `source` describes would first wait for a write that
// may still be under way (see CopyOptions::accept), by `options.clock` or the system's. A caller
// with many sources copies such ones last: they then share what is left of one wait.
bool WouldWaitToSettle(const struct stat& source, const CopyOptions& options);

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

}  // namespace hw::files
