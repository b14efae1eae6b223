#include "shell/file_operation.h"

#include <unistd.h>

#include <algorithm>
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

CopyStepResult TabfFileOperation::Run(const Step& step, bool intoDestFolder) {
    CopyStepResult first;
    auto keepFirst = [&first](const files::CopyResult& failed, const std::string& path) {
        if (!first.Ok()) return;
        static_cast<files::CopyResult&>(first) = failed;
        first.path = path;
    };
    const std::string* current = &DestFolder;
    std::string failedAt;
    try {
        std::size_t entries = 0;
        for (const std::string& source : fileList_) entries += source.empty() ? 0 : 1;
        // Several entries to copy or move always go into DestFolder, which is created for them.
        if (entries > 1 && intoDestFolder && !files::MakeFolders(DestFolder)) {
            keepFirst(FailedStep(), DestFolder);
            return first;
        }
        for (const std::string& source : fileList_) {
            if (source.empty()) continue;
            current = &source;
            errno = 0;
            failedAt.clear();
            const files::CopyResult done = step(source, failedAt);
            if (done.Ok()) continue;
            const std::string& where = failedAt.empty() ? source : failedAt;
            keepFirst(done, done.InSource() ? source : where);
        }
    } catch (const std::exception&) {
        // Out of memory in a path text or a listing: a failed step like any other, named.
        const std::string& where = failedAt.empty() ? *current : failedAt;
        keepFirst({files::CopyStatus::TargetFailed, ENOMEM}, where);
    }
    return first;
}

StepResult TabfFileOperation::RunSimple(
    const std::function<bool(const std::string& source, std::string& failedAt)>& step,
    bool intoDestFolder) {
    const CopyStepResult done = Run(
        [&](const std::string& source, std::string& failedAt) {
            return step(source, failedAt) ? files::CopyResult{} : FailedStep();
        },
        intoDestFolder);
    return {done.Ok(), done.path, done.error};
}

files::CopyResult TabfFileOperation::CopyOne(const std::string& source, const CopyMode& mode,
                                             std::string& failedAt) {
    std::string target = TriesFileFirst(mode) ? DestFolder : TargetFor(source);
    // The operation's seams take the place of any the mode brings.
    files::CopyOptions options = mode;
    if (byteWrite) options.write = byteWrite;
    if (afterRead) options.afterRead = afterRead;
    if (clock) options.clock = clock;
    if (waitBeforeSecondRead) options.waitBeforeSecondRead = [&] { waitBeforeSecondRead(source); };
    if (beforeChange) options.beforeRename = [this] { AnnounceChange(); };
    if (beforeCopy) beforeCopy(source);
    files::CopyResult copied;
    try {
        copied = CopyTo(source, target, options);
    } catch (const std::bad_alloc&) {
        // A judged source is held in memory whole: the failure names the file that did not fit.
        if (mode.inPlace) ::unlink(target.c_str());
        failedAt = source;
        return {files::CopyStatus::TargetFailed, ENOMEM};
    }
    if (copied.Ok()) return copied;
    // In place, a failed copy leaves no file of an older generation under the name.
    if (mode.inPlace) ::unlink(target.c_str());
    failedAt = target;
    return copied;
}

files::CopyResult TabfFileOperation::CopyTo(const std::string& source, std::string& target,
                                            const files::CopyOptions& options) {
    files::CopyResult copied = files::CopyTree(source, target, options);
    if (copied.Ok()) return copied;
    if (TriesFileFirst(options) && copied.status == files::CopyStatus::TargetFailed &&
        copied.error == EISDIR && files::IsFolder(target)) {
        target = JoinPath(target, FileName(source));
        copied = files::CopyTree(source, target, options);
        if (copied.Ok()) return copied;
    }
    // Missing folders on the way are created only when the first attempt finds them missing:
    // a backup makes thousands of copies into folders that mostly exist.
    if (copied.error != ENOENT || !files::Exists(source)) return copied;
    const std::string folder = ParentPath(target);
    if (options.within != nullptr ? !options.within->MakeBelow(folder)
                                  : !files::MakeFolders(folder)) {
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

CopyStepResult TabfFileOperation::Copy(const CopyMode& mode) {
    return Run([&](const std::string& source,
                   std::string& failedAt) { return CopyOne(source, mode, failedAt); },
               true);
}

unsigned TabfFileOperation::CopyWorkers(std::size_t count) const {
    if (stepsInOrder || count <= 1) return 1;
    if (copyThreads != 0) return static_cast<unsigned>(std::min<std::size_t>(copyThreads, count));
    return files::WorkersFor(count);
}

StepResult TabfFileOperation::Move(FolderSync sync) {
    return RunSimple(
        [&](const std::string& source, std::string&) {
            if (!files::Exists(source)) return false;
            const std::string target = TargetFor(source);
            if (!files::MakeFolders(ParentPath(target))) return false;
            AnnounceChange();
            return files::MoveTree(source, target, sync == FolderSync::EachRename);
        },
        true);
}

StepResult TabfFileOperation::Delete(const std::string& removedLast) {
    return RunSimple([&](const std::string& source, std::string& failedAt) {
        AnnounceChange();
        return files::RemoveTree(source, &failedAt, removedLast);
    });
}

StepResult TabfFileOperation::Flush() {
    return RunSimple([&](const std::string& source, std::string&) {
        if (flushMethod == FlushMethod::FileSystem) return files::SyncFileSystem(source);
        return files::SyncTree(source);
    });
}

StepResult TabfFileOperation::Exchange(FolderSync sync) {
    return RunSimple([&](const std::string& source, std::string&) {
        AnnounceChange();
        return files::ExchangePaths(source, DestFolder, sync == FolderSync::EachRename);
    });
}

StepResult TabfFileOperation::PutInPlace(const std::vector<files::StagedCopy>& staged) {
    std::string failedAt;
    if (files::PutStagedInPlace(staged, failedAt, [this] { AnnounceChange(); })) return {};
    return {false, failedAt, errno};
}

StepResult TabfFileOperation::CreateEmpty() {
    return RunSimple(
        [](const std::string& source, std::string&) { return files::CreateEmptyFile(source); });
}

StepResult TabfFileOperation::MakeFolder(files::FolderAnchor* within) {
    return RunSimple([&](const std::string& source, std::string&) {
        return within != nullptr ? within->MakeBelow(source) : files::MakeFolders(source);
    });
}

}  // namespace hw
