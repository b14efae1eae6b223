#include "shell/file_operation.h"

#include <unistd.h>

#include <cerrno>
#include <exception>
#include <new>

#include "base/paths.h"
#include "shell/file_copy.h"
#include "shell/parallel.h"

namespace hw {

namespace {

files::CopyResult FailedStep() {
    return {files::CopyStatus::TargetFailed, errno != 0 ? errno : EIO};
}

// In place the destination is a new name in the run's own folder, and a judged staged copy looks
// at its target anyway: the destination is tried as the file itself first, and only an existing
// folder there (EISDIR) sends the copy into it.
bool TriesFileFirst(const CopyMode& mode) {
    return mode.inPlace || (mode.staged != nullptr && mode.accept);
}

}  // namespace

std::string TabfFileOperation::TargetFor(const std::string& source) const {
    if (files::IsFolder(DestFolder)) return JoinPath(DestFolder, FileName(source));
    return DestFolder;
}

files::CopyResult TabfFileOperation::Run(const Step& step, bool intoDestFolder) {
    files::CopyResult first;
    const std::string* current = &DestFolder;
    failedAt_.clear();
    try {
        std::size_t entries = 0;
        for (const std::string& source : fileList_) entries += source.empty() ? 0 : 1;
        // Several entries to copy or move always go into DestFolder, which is created for them.
        if (entries > 1 && intoDestFolder && !files::MakeFolders(DestFolder)) {
            first = FailedStep();
            SetFailure(DestFolder, first.error);
            return first;
        }
        for (const std::string& source : fileList_) {
            if (source.empty()) continue;
            current = &source;
            errno = 0;
            failedAt_.clear();
            const files::CopyResult done = step(source);
            if (done.Ok()) continue;
            if (first.Ok()) first = done;
            if (!done.InSource()) {
                failedPath_ = failedAt_.empty() ? source : failedAt_;
                failedCode_ = done.error != 0 ? done.error : EIO;
            }
        }
    } catch (const std::exception&) {
        // Out of memory in a path text or a listing: a failed step like any other, named.
        if (first.Ok()) first = {files::CopyStatus::TargetFailed, ENOMEM};
        SetFailure(failedAt_.empty() ? *current : failedAt_, ENOMEM);
    }
    return first;
}

bool TabfFileOperation::RunSimple(const std::function<bool(const std::string& source)>& step,
                                  bool intoDestFolder) {
    const files::CopyResult done = Run(
        [&](const std::string& source) {
            return step(source) ? files::CopyResult{} : FailedStep();
        },
        intoDestFolder);
    lastError_ = done.error;
    return done.Ok();
}

files::CopyResult TabfFileOperation::CopyOne(const std::string& source, const CopyMode& mode) {
    std::string target = TriesFileFirst(mode) ? DestFolder : TargetFor(source);
    files::CopyOptions options;
    options.inPlace = mode.inPlace;
    options.write = byteWrite;
    options.accept = mode.accept;
    options.known = mode.known;
    options.newNames = mode.newNames;
    options.made = mode.made;
    options.afterRead = afterRead;
    options.largest = mode.largest;
    options.clock = clock;
    if (waitBeforeSecondRead) options.waitBeforeSecondRead = [&] { waitBeforeSecondRead(source); };
    options.staged = mode.staged;
    if (beforeChange) options.beforeRename = [this] { AnnounceChange(); };
    if (beforeCopy) beforeCopy(source);
    files::CopyResult copied;
    try {
        copied = CopyTo(source, target, mode, options);
    } catch (const std::bad_alloc&) {
        // A judged source is held in memory whole: the failure names the file that did not fit.
        if (mode.inPlace) ::unlink(target.c_str());
        failedAt_ = source;
        return {files::CopyStatus::TargetFailed, ENOMEM};
    }
    if (copied.Ok()) return copied;
    // In place, a failed copy leaves no file of an older generation under the name.
    if (mode.inPlace) ::unlink(target.c_str());
    failedAt_ = target;
    return copied;
}

files::CopyResult TabfFileOperation::CopyTo(const std::string& source, std::string& target,
                                            const CopyMode& mode,
                                            const files::CopyOptions& options) {
    files::CopyResult copied = files::CopyTree(source, target, options);
    if (copied.Ok()) return copied;
    if (TriesFileFirst(mode) && copied.status == files::CopyStatus::TargetFailed &&
        copied.error == EISDIR && files::IsFolder(target)) {
        target = JoinPath(target, FileName(source));
        copied = files::CopyTree(source, target, options);
        if (copied.Ok()) return copied;
    }
    // Missing folders on the way are created only when the first attempt finds them missing:
    // a backup makes thousands of copies into folders that mostly exist.
    if (copied.error != ENOENT || !files::Exists(source)) return copied;
    const std::string folder = ParentPath(target);
    if (mode.within != nullptr ? !mode.within->MakeBelow(folder) : !files::MakeFolders(folder)) {
        return FailedStep();
    }
    copied = files::CopyTree(source, target, options);
    // exFAT through FUSE answers ENOENT for a name it cannot store, in a folder that is there.
    if (copied.status == files::CopyStatus::TargetFailed && copied.error == ENOENT &&
        files::IsFolder(folder)) {
        copied.error = EINVAL;
    }
    return copied;
}

files::CopyResult TabfFileOperation::Copy(const CopyMode& mode) {
    return Run([&](const std::string& source) { return CopyOne(source, mode); }, true);
}

unsigned TabfFileOperation::CopyWorkers(std::size_t count) const {
    // waitBeforeSecondRead and clock keep no order among copies: they leave the threads on.
    if (byteWrite || beforeCopy || afterRead) return 1;
    return files::WorkersFor(count);
}

bool TabfFileOperation::Move(FolderSync sync) {
    return RunSimple(
        [&](const std::string& source) {
            if (!files::Exists(source)) return false;
            const std::string target = TargetFor(source);
            if (!files::MakeFolders(ParentPath(target))) return false;
            AnnounceChange();
            return files::MoveTree(source, target, sync == FolderSync::EachRename);
        },
        true);
}

bool TabfFileOperation::Delete(const std::string& removedLast) {
    return RunSimple([&](const std::string& source) {
        AnnounceChange();
        return files::RemoveTree(source, &failedAt_, removedLast);
    });
}

bool TabfFileOperation::Flush() {
    return RunSimple([&](const std::string& source) {
        if (flushMethod == FlushMethod::FileSystem) return files::SyncFileSystem(source);
        return files::SyncTree(source);
    });
}

bool TabfFileOperation::Exchange(FolderSync sync) {
    return RunSimple([&](const std::string& source) {
        AnnounceChange();
        return files::ExchangePaths(source, DestFolder, sync == FolderSync::EachRename);
    });
}

bool TabfFileOperation::PutInPlace(const std::vector<files::StagedCopy>& staged) {
    std::string failedAt;
    const bool placed = files::PutStagedInPlace(staged, failedAt, [this] { AnnounceChange(); });
    lastError_ = placed ? 0 : errno;
    if (!placed) SetFailure(failedAt, lastError_);
    return placed;
}

bool TabfFileOperation::CreateEmpty() {
    return RunSimple([](const std::string& source) { return files::CreateEmptyFile(source); });
}

bool TabfFileOperation::MakeFolder(files::FolderAnchor* within) {
    return RunSimple([&](const std::string& source) {
        return within != nullptr ? within->MakeBelow(source) : files::MakeFolders(source);
    });
}

}  // namespace hw
