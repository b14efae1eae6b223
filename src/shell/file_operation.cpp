#include "shell/file_operation.h"

#include <unistd.h>

#include <cerrno>
#include <exception>

#include "base/paths.h"
#include "shell/file_copy.h"

namespace hw {

namespace {}  // namespace

std::string TabfFileOperation::TargetFor(const std::string& source) const {
    if (files::IsFolder(DestFolder)) return JoinPath(DestFolder, FileName(source));
    return DestFolder;
}

bool TabfFileOperation::Run(bool (TabfFileOperation::*step)(const std::string& source)) {
    lastError_ = 0;
    lastFailureInSource_ = false;
    bool ok = true;
    try {
        std::size_t entries = 0;
        for (const std::string& source : fileList_) entries += source.empty() ? 0 : 1;
        // Several entries to copy or move always go into DestFolder, which is created for them.
        const bool intoDestFolder =
            step == &TabfFileOperation::CopyOne || step == &TabfFileOperation::MoveOne;
        if (entries > 1 && intoDestFolder && !files::MakeFolders(DestFolder)) {
            lastError_ = errno;
            return false;
        }
        for (const std::string& source : fileList_) {
            if (source.empty()) continue;
            errno = 0;
            stepFailedInSource_ = false;
            failedAt_.clear();
            if (!(this->*step)(source)) {
                if (lastError_ == 0) {
                    lastError_ = errno != 0 ? errno : EIO;
                    lastFailureInSource_ = stepFailedInSource_;
                }
                if (!stepFailedInSource_) {
                    failedPath_ = failedAt_.empty() ? source : failedAt_;
                    failedCode_ = errno != 0 ? errno : EIO;
                }
                ok = false;
            }
        }
    } catch (const std::exception&) {
        // Out of memory in a path text or a listing: a failed step like any other.
        if (lastError_ == 0) lastError_ = ENOMEM;
        failedCode_ = ENOMEM;
        ok = false;
    }
    return ok;
}

bool TabfFileOperation::CopyOne(const std::string& source) {
    // In place the destination is a new name in the run's own folder: it is tried as the file
    // itself first, and only an existing folder there (EISDIR) sends the copy into it.
    std::string target = writeInPlace ? DestFolder : TargetFor(source);
    // Missing folders on the way are created only when the first attempt finds them missing:
    // a backup makes thousands of copies into folders that mostly exist.
    files::CopyOptions options;
    options.inPlace = writeInPlace;
    options.write = byteWrite;
    options.accept = acceptCopy;
    options.sourceFailed = &stepFailedInSource_;
    options.known = knownCopy;
    options.made = madeCopy;
    options.afterRead = afterRead;
    if (beforeChange) options.beforeRename = [this] { AnnounceChange(); };
    if (beforeCopy) beforeCopy(source);
    if (CopyTo(source, target, options)) return true;
    const int error = errno;
    // In place, a failed copy leaves no file of an older generation under the name.
    if (writeInPlace) ::unlink(target.c_str());
    failedAt_ = target;
    errno = error;
    return false;
}

bool TabfFileOperation::CopyTo(const std::string& source, std::string& target,
                               const files::CopyOptions& options) {
    if (files::CopyTree(source, target, options)) return true;
    if (writeInPlace && errno == EISDIR && !stepFailedInSource_ && files::IsFolder(target)) {
        target = JoinPath(target, FileName(source));
        if (files::CopyTree(source, target, options)) return true;
    }
    if (errno != ENOENT || !files::Exists(source)) return false;
    const std::string folder = ParentPath(target);
    if (makeFoldersIn != nullptr ? !makeFoldersIn->MakeBelow(folder)
                                 : !files::MakeFolders(folder)) {
        return false;
    }
    if (files::CopyTree(source, target, options)) return true;
    // exFAT through FUSE answers ENOENT for a name it cannot store, in a folder that is there.
    if (errno == ENOENT && !stepFailedInSource_ && files::IsFolder(folder)) errno = EINVAL;
    return false;
}

bool TabfFileOperation::MoveOne(const std::string& source) {
    if (!files::Exists(source)) return false;
    const std::string target = TargetFor(source);
    if (!files::MakeFolders(ParentPath(target))) return false;
    AnnounceChange();
    return files::MoveTree(source, target, syncAfterRename);
}

bool TabfFileOperation::DeleteOne(const std::string& source) {
    AnnounceChange();
    return files::RemoveTree(source, &failedAt_, deleteLast);
}

bool TabfFileOperation::ExchangeOne(const std::string& source) {
    AnnounceChange();
    return files::ExchangePaths(source, DestFolder, syncAfterRename);
}

bool TabfFileOperation::CreateEmptyOne(const std::string& source) {
    return files::CreateEmptyFile(source);
}

bool TabfFileOperation::MakeFolderOne(const std::string& source) {
    return makeFoldersIn != nullptr ? makeFoldersIn->MakeBelow(source) : files::MakeFolders(source);
}

bool TabfFileOperation::FlushOne(const std::string& source) {
    if (flushMethod == FlushMethod::FileSystem) return files::SyncFileSystem(source);
    return files::SyncTree(source);
}

bool TabfFileOperation::Copy() {
    return Run(&TabfFileOperation::CopyOne);
}

bool TabfFileOperation::Move() {
    return Run(&TabfFileOperation::MoveOne);
}

bool TabfFileOperation::Delete() {
    return Run(&TabfFileOperation::DeleteOne);
}

bool TabfFileOperation::Flush() {
    return Run(&TabfFileOperation::FlushOne);
}

bool TabfFileOperation::Exchange() {
    return Run(&TabfFileOperation::ExchangeOne);
}

bool TabfFileOperation::CreateEmpty() {
    return Run(&TabfFileOperation::CreateEmptyOne);
}

bool TabfFileOperation::MakeFolder() {
    return Run(&TabfFileOperation::MakeFolderOne);
}

}  // namespace hw
