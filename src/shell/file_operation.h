// Copy, move and delete for the backup engine, one call per step: each returns what became of
// it, and where and why it failed. No dialogs: the callers report. Copies never leave a
// truncated file under the final name.
#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "shell/file_copy.h"

namespace hw {

// How TabfFileOperation::Copy writes (see files::CopyOptions): by default through a temporary
// name beside each final one, unjudged, making missing folders wherever needed.
using CopyMode = files::CopyOptions;

// What a step other than a copy did: success, or the path at which it first failed and the
// system's error there (the entry, or what a Delete could not remove inside it).
struct StepResult {
    bool ok = true;
    std::string path;
    int error = 0;
    // Callers that ask only whether the step worked read it as a Boolean.
    operator bool() const { return ok; }
};

// What a copy did (see files::CopyResult), and the path of its first failure: the source where
// the source failed, else the target that could not be written.
struct CopyStepResult : files::CopyResult {
    std::string path;
};

// Every step returns its failure; the object keeps none, so that a caller's tidying up after a
// failed step cannot hide it.
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
    CopyStepResult Copy(const CopyMode& mode = {});
    // Each entry to DestFolder (into it when it is an existing folder, else to that path).
    StepResult Move(FolderSync sync = FolderSync::EachRename);
    // Each entry with everything in it, for good; a name `removedLast` in any of its folders
    // goes after everything else there (see files::RemoveTree).
    StepResult Delete(const std::string& removedLast = {});
    // Makes every file and folder below the entries durable (see flushMethod).
    StepResult Flush();
    // Swaps each entry with DestFolder in one step, so that neither name is missing at any
    // moment. Fails with EINVAL or ENOSYS where the file system cannot swap.
    StepResult Exchange(FolderSync sync = FolderSync::EachRename);
    // Puts copies that Copy staged in place, all made durable at once (see
    // files::PutStagedInPlace); beforeChange runs before each rename. The entries do not count.
    StepResult PutInPlace(const std::vector<files::StagedCopy>& staged);
    // Creates an empty file at each entry.
    StepResult CreateEmpty();
    // Threads a run of `count` copies may use: copyThreads when set, else one for a short run
    // and one a core (at most four) for a long one; one while stepsInOrder.
    unsigned CopyWorkers(std::size_t count) const;
    // Creates each entry as a folder with any missing folder above it, relative to `within`
    // when that is given.
    StepResult MakeFolder(files::FolderAnchor* within = nullptr);

    FlushMethod flushMethod = FlushMethod::FileSystem;
    // Every copy of a run on the caller's thread, in the order of the sources: for a test whose
    // seam counts the steps to stop at the Nth.
    bool stepsInOrder = false;
    // Threads for a run of copies regardless of its length and the processor (0: CopyWorkers
    // decides), so that a test can run a short list on several.
    unsigned copyThreads = 0;

    // The seams below let tests make steps fail or stop. A run of copies may call each of them
    // from several threads at once, through copies of this operation (one a thread): they must
    // be safe to call so, and state they keep across calls must be shared (held by reference or
    // by a shared pointer), not copied into the lambda.
    //
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
    // write under way does.
    std::function<void(const std::string& source)> waitBeforeSecondRead;
    // The time that judged copies compare change times with; the system's clock when empty.
    std::function<struct timespec()> clock;
    // Runs beforeChange; for a caller that hands a delete to another thread.
    void AnnounceChange() const {
        if (beforeChange) beforeChange();
    }

  private:
    // A step for one entry; `failedAt` receives where it failed when that is not the entry.
    using Step = std::function<files::CopyResult(const std::string& source, std::string& failedAt)>;
    // Runs the step for each entry; the result of the first that failed.
    CopyStepResult Run(const Step& step, bool intoDestFolder);
    // Run for a step that reports success and sets errno.
    StepResult RunSimple(
        const std::function<bool(const std::string& source, std::string& failedAt)>& step,
        bool intoDestFolder = false);
    files::CopyResult CopyOne(const std::string& source, const CopyMode& mode,
                              std::string& failedAt);
    std::string TargetFor(const std::string& source) const;
    // CopyOne's attempts; `target` ends as the path last tried.
    files::CopyResult CopyTo(const std::string& source, std::string& target,
                             const files::CopyOptions& options);

    std::vector<std::string> fileList_;
};

}  // namespace hw
