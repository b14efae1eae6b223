// Copy, move and delete for the backup engine, one call per step, success as a Boolean. No
// dialogs: the callers report. Copies never leave a truncated file under the final name.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "shell/file_copy.h"

namespace hw {

class TabfFileOperation {
  public:
    // How a staged folder is made durable by Flush.
    enum class FlushMethod {
        FileSystem,  // one sync of the file system holding the folder
        EachFile,    // one fsync of every file and folder below it
    };

    void SetFileList(const std::vector<std::string>& files) { fileList_ = files; }
    const std::vector<std::string>& FileList() const { return fileList_; }
    std::string DestFolder;

    // Each entry (a file or a folder) to DestFolder: into it under its own name when DestFolder
    // is an existing folder, otherwise to exactly that path, creating missing folders and
    // replacing an existing file. A file is written under a temporary name beside its final
    // one, synced, then renamed over it. Only regular files are copied: a pipe, a device or a
    // socket fails without being read or waited for.
    bool Copy();
    // Each entry to DestFolder (into it when it is an existing folder, else to that path).
    bool Move();
    // Each entry with everything in it, for good.
    bool Delete();
    // Makes every file and folder below the entries durable (see flushMethod).
    bool Flush();
    // Swaps each entry with DestFolder in one step, so that neither name is missing at any
    // moment. False (LastErrorCode EINVAL or ENOSYS) where the file system cannot swap.
    bool Exchange();
    // Creates an empty file at each entry.
    bool CreateEmpty();
    // Creates each entry as a folder with any missing folder above it, relative to makeFoldersIn
    // when that is set.
    bool MakeFolder();

    // Set only while filling a folder that is itself the temporary: copies then write straight
    // to their final names (overwriting a file there) and are not synced, and Flush makes them
    // durable before the folder is renamed into place. A failed copy removes the name.
    bool writeInPlace = false;
    // When set, Copy keeps a file only when its bytes pass, and writes exactly the bytes judged;
    // a refused copy fails with LastErrorCode EBADMSG. Folders are then not copied.
    std::function<bool(const std::string& bytes)> acceptCopy;
    FlushMethod flushMethod = FlushMethod::FileSystem;
    // When false, Move and Exchange leave their folders unsynced: the caller makes several
    // renames in one folder durable with one sync of it afterwards.
    bool syncAfterRename = true;
    // A name that Delete removes after everything else in its folder (see files::RemoveTree).
    std::string deleteLast;
    // Replaceable so that tests can make a copy fail part-way (a full disk, the Nth file).
    files::ByteWrite byteWrite;
    // Called right before every rename, swap and delete that the operation makes, the final
    // rename of a copy included, so that a test can stop the process at each of them in turn.
    std::function<void()> beforeChange;
    // When set, Copy and MakeFolder make folders only below this folder and relative to it (see
    // files::FolderAnchor), and fail with ENOENT once it is gone from its path.
    files::FolderAnchor* makeFoldersIn = nullptr;
    // For a judged copy in place: what the earlier copy to DestFolder recorded (see
    // files::CopyOptions::known), and where the record of this copy goes. Set per call.
    const files::CopyRecord* knownCopy = nullptr;
    files::CopyRecord* madeCopy = nullptr;
    // Called with each source right before Copy opens it, so that a test can remove or rewrite
    // it at that moment, as a client may.
    std::function<void(const std::string& source)> beforeCopy;
    // Called each time a judged copy has read its source whole, so that a test can rewrite the
    // source while it is being copied, as a client may.
    std::function<void()> afterRead;
    // Runs beforeChange; for a caller that hands a delete to another thread.
    void AnnounceChange() const {
        if (beforeChange) beforeChange();
    }

    // errno of the first failure of the last call, 0 after success (ENAMETOOLONG for a name
    // past the file system's limit).
    int LastErrorCode() const { return lastError_; }
    // After a failed Copy: true when the first failure lay in reading its source (missing,
    // unreadable, not a regular file, refused by acceptCopy), false when writing failed.
    bool LastFailureInSource() const { return lastFailureInSource_; }
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
    bool Run(bool (TabfFileOperation::*step)(const std::string& source));
    bool CopyOne(const std::string& source);
    bool MoveOne(const std::string& source);
    bool DeleteOne(const std::string& source);
    bool FlushOne(const std::string& source);
    bool ExchangeOne(const std::string& source);
    bool CreateEmptyOne(const std::string& source);
    bool MakeFolderOne(const std::string& source);
    std::string TargetFor(const std::string& source) const;
    // CopyOne's attempts; `target` ends as the path last tried.
    bool CopyTo(const std::string& source, std::string& target, const files::CopyOptions& options);

    std::vector<std::string> fileList_;
    std::string failedAt_;  // set by a step that knows better than its entry where it failed
    std::string failedPath_;
    int failedCode_ = 0;
    int lastError_ = 0;
    bool lastFailureInSource_ = false;
    bool stepFailedInSource_ = false;
};

}  // namespace hw
