// Copy, move and delete for the backup engine, one call per step: a copy returns what became
// of it, the other steps success as a Boolean. No dialogs: the callers report. Copies never
// leave a truncated file under the final name.
#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "shell/file_copy.h"

namespace hw {

// How TabfFileOperation::Copy writes. By default through a temporary name beside each final one,
// unjudged, making missing folders wherever needed.
struct CopyMode {
    // Only while filling a folder that is itself the temporary: copies write straight to
    // their final names (overwriting a file there) and are not synced; the caller makes
    // them durable (Flush) before the folder is renamed into place. A failed copy removes
    // the name.
    bool inPlace = false;
    // When set, a file is kept only when its bytes pass, and exactly the bytes judged are
    // written; a refused copy ends SourceRefused. Folders are then not copied.
    std::function<bool(const std::string& bytes)> accept;
    // Judged: a source of more bytes is refused unread (see files::CopyOptions::largest).
    std::size_t largest = 0;
    // The folder held none of the targets' names (see files::CopyOptions::newNames).
    bool newNames = false;
    // For a judged copy in place: what the earlier copy to DestFolder recorded (see
    // files::CopyOptions::known), and where the record of this copy goes.
    const files::CopyRecord* known = nullptr;
    files::CopyRecord* made = nullptr;
    // When set, folders are made only below this folder and relative to it (see
    // files::FolderAnchor), and fail with ENOENT once it is gone from its path.
    files::FolderAnchor* within = nullptr;
    // Not in place: when set, each finished copy stays under its temporary name, unsynced, and
    // is added here for PutInPlace.
    std::vector<files::StagedCopy>* staged = nullptr;
};

class TabfFileOperation {
  public:
    // How a staged folder is made durable by Flush.
    enum class FlushMethod {
        FileSystem,  // one sync of the file system holding the folder
        EachFile,    // one fsync of every file and folder below it
    };
    // Whether Move and Exchange sync the folders they rename in.
    enum class FolderSync {
        EachRename,
        ByCaller,  // the caller makes several renames in one folder durable with one sync
    };
    using CopyMode = hw::CopyMode;

    void SetFileList(const std::vector<std::string>& files) { fileList_ = files; }
    const std::vector<std::string>& FileList() const { return fileList_; }
    std::string DestFolder;

    // Each entry (a file or a folder) to DestFolder: into it under its own name when DestFolder
    // is an existing folder, otherwise to exactly that path, creating missing folders and
    // replacing an existing file. A file is written under a temporary name beside its final
    // one, synced, then renamed over it. Only regular files are copied: a pipe, a device or a
    // socket fails without being read or waited for. The result is that of the first copy that
    // failed.
    files::CopyResult Copy(const CopyMode& mode = {});
    // Each entry to DestFolder (into it when it is an existing folder, else to that path).
    bool Move(FolderSync sync = FolderSync::EachRename);
    // Each entry with everything in it, for good; a name `removedLast` in any of its folders
    // goes after everything else there (see files::RemoveTree).
    bool Delete(const std::string& removedLast = {});
    // Makes every file and folder below the entries durable (see flushMethod).
    bool Flush();
    // Swaps each entry with DestFolder in one step, so that neither name is missing at any
    // moment. False (LastErrorCode EINVAL or ENOSYS) where the file system cannot swap.
    bool Exchange(FolderSync sync = FolderSync::EachRename);
    // Puts copies that Copy staged in place, all made durable at once (see
    // files::PutStagedInPlace); beforeChange runs before each rename. The entries do not count.
    bool PutInPlace(const std::vector<files::StagedCopy>& staged);
    // Creates an empty file at each entry.
    bool CreateEmpty();
    // Threads a run of `count` copies may use: one while a fault seam wants the steps in order
    // (byteWrite, beforeCopy, afterRead).
    unsigned CopyWorkers(std::size_t count) const;
    // Creates each entry as a folder with any missing folder above it, relative to `within`
    // when that is given.
    bool MakeFolder(files::FolderAnchor* within = nullptr);

    FlushMethod flushMethod = FlushMethod::FileSystem;
    // Replaceable so that tests can make a copy fail part-way (a full disk, the Nth file).
    files::ByteWrite byteWrite;
    // Called right before every rename, swap and delete that the operation makes, the final
    // rename of a copy included, so that a test can stop the process at each of them in turn.
    std::function<void()> beforeChange;
    // Called with each source right before Copy opens it, so that a test can remove or rewrite
    // it at that moment, as a client may.
    std::function<void(const std::string& source)> beforeCopy;
    // Called each time a judged copy has read its source whole, so that a test can rewrite the
    // source while it is being copied, as a client may.
    std::function<void()> afterRead;
    // Called with its source instead of the short wait before a judged copy reads a source
    // changed just now a second time, so that a test can rewrite it unseen by its times, as a
    // write under way does. Every copying thread calls it.
    std::function<void(const std::string& source)> waitBeforeSecondRead;
    // The time that judged copies compare change times with; the system's clock when empty.
    std::function<struct timespec()> clock;
    // Runs beforeChange; for a caller that hands a delete to another thread.
    void AnnounceChange() const {
        if (beforeChange) beforeChange();
    }

    // errno of the first failure of the last call other than Copy, 0 after success.
    int LastErrorCode() const { return lastError_; }
    // The path and errno of the latest call that failed other than in a source: the entry, the
    // copy's target, or what a Delete could not remove inside its entry. Kept, whatever calls
    // succeed meanwhile, until ClearFailure, so that a caller's tidying up does not hide it.
    const std::string& FailedPath() const { return failedPath_; }
    int FailedCode() const { return failedCode_; }
    void ClearFailure() { SetFailure("", 0); }
    void SetFailure(const std::string& path, int code) {
        failedPath_ = path;
        failedCode_ = code;
    }

  private:
    using Step = std::function<files::CopyResult(const std::string& source)>;
    // Runs the step for each entry; the result of the first that failed.
    files::CopyResult Run(const Step& step, bool intoDestFolder);
    // Run for a step that reports success and sets errno; keeps LastErrorCode.
    bool RunSimple(const std::function<bool(const std::string& source)>& step,
                   bool intoDestFolder = false);
    files::CopyResult CopyOne(const std::string& source, const CopyMode& mode);
    std::string TargetFor(const std::string& source) const;
    // CopyOne's attempts; `target` ends as the path last tried.
    files::CopyResult CopyTo(const std::string& source, std::string& target, const CopyMode& mode,
                             const files::CopyOptions& options);

    std::vector<std::string> fileList_;
    std::string failedAt_;  // set by a step that knows better than its entry where it failed
    std::string failedPath_;
    int failedCode_ = 0;
    int lastError_ = 0;
};

}  // namespace hw
