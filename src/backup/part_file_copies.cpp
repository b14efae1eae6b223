#include "backup/part_file_copies.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "backup/part_file_check.h"
#include "backup/run_support.h"
#include "shell/folders.h"
#include "shell/parallel.h"

namespace hw {

namespace {

enum class CopyEnd { Copied, TooLong, BadName, Damaged, Missing, Unreadable, NotWritten };

// With `made` given, the copy's record goes there, checked against `known` first. A target that
// could not be written is named in `notWritten` with the reason.
CopyEnd CopyChecked(TabfFileOperation& op, TabfFileOperation::CopyMode mode,
                    const std::string& from, const std::string& to, StepResult& notWritten,
                    const files::CopyRecord* known = nullptr, files::CopyRecord* made = nullptr) {
    op.SetFileList({from});
    op.DestFolder = to;
    mode.known = known;
    mode.made = made;
    const CopyStepResult copied = op.Copy(mode);
    const int error = copied.error;
    switch (copied.status) {
        case files::CopyStatus::Copied:
            return CopyEnd::Copied;
        case files::CopyStatus::SourceRefused:
            return CopyEnd::Damaged;
        case files::CopyStatus::SourceFailed:
            return error == ENOENT || error == ENOTDIR ? CopyEnd::Missing : CopyEnd::Unreadable;
        case files::CopyStatus::TargetFailed:
            break;
    }
    if (error == ENAMETOOLONG) return CopyEnd::TooLong;
    // What a disk answers for a name it cannot store (":" or a line break on exFAT, bytes that
    // are no UTF-8); only that file is left out.
    if (error == EINVAL || error == EILSEQ) return CopyEnd::BadName;
    notWritten = {false, copied.path, error != 0 ? error : EIO};
    return CopyEnd::NotWritten;
}

bool WorthRereading(CopyEnd end) {
    return end == CopyEnd::Damaged || end == CopyEnd::Missing;
}

// aMule writes a part file anew by way of a copy beside it ("NNN.part.met.backup"), removing the
// file meanwhile, and keeps one more of the last whole version ("NNN.part.met.bak"). Killed
// between the removal and the write, it leaves only the copy, which it does not load again:
// while the file is missing or damaged, such a copy is its newest good state when it is not
// older than the last good backup copy (a copy of a spare bears the spare's time, so the same
// spare is taken again by every later run). `found` tells whether any spare is there.
CopyEnd CopyClientsSpare(TabfFileOperation& op, const TabfFileOperation::CopyMode& mode,
                         const PartFileJob& job, bool& found, StepResult& notWritten) {
    struct stat previous {};
    const bool hasPrevious = ::stat(job.previous.c_str(), &previous) == 0;
    found = false;
    for (const char* suffix : kClientSpareSuffixes) {
        const std::string spare = job.source + suffix;
        struct stat info {};
        if (::lstat(spare.c_str(), &info) != 0) continue;
        found = true;
        if (hasPrevious && (info.st_mtim.tv_sec < previous.st_mtim.tv_sec ||
                            (info.st_mtim.tv_sec == previous.st_mtim.tv_sec &&
                             info.st_mtim.tv_nsec < previous.st_mtim.tv_nsec))) {
            continue;
        }
        const CopyEnd end = CopyChecked(op, mode, spare, job.target, notWritten);
        if (end == CopyEnd::Copied || end == CopyEnd::NotWritten) return end;
    }
    return CopyEnd::Missing;
}

// Whether the temp folder is still the one the run holds, on its disk: a folder renamed away or
// a disk unmounted leaves another folder (or none) at the path, and one unplugged cannot be
// listed.
bool StillThere(const files::FolderAnchor& temp) {
    return temp.StillThere() &&
           files::ForEachEntry(temp.Path(),
                               [](const std::string&, unsigned char) { return false; });
}

}  // namespace

TabfFileOperation::CopyMode PartFilesOnly() {
    TabfFileOperation::CopyMode mode;
    mode.accept = [](const std::string& bytes) { return IsWellFormedPartFile(bytes); };
    // Refused by its size, unread: a file that large is no part file, and would fill the memory.
    mode.largest = kLargestPartFile;
    return mode;
}

StepResult CopyPartFiles(TabfFileOperation& op, files::FolderAnchor& staging, bool fresh,
                         const std::vector<PartFileJob>& jobs, const CopyRecords& known,
                         const files::FolderAnchor& temp, const std::function<void()>& pause,
                         PartFileCopies& copies, PartFileProgress* progress) {
    // The staging folder is the temporary: copies go straight to their final names.
    TabfFileOperation::CopyMode mode = PartFilesOnly();
    mode.inPlace = true;
    mode.within = &staging;
    mode.newNames = fresh;
    std::vector<CopyEnd> ends(jobs.size());
    std::vector<files::CopyRecord> made(jobs.size());
    copies.records.reserve(jobs.size());
    // Each thread copies through a file operation of its own.
    const unsigned workers = op.CopyWorkers(jobs.size());
    std::vector<TabfFileOperation> ops(workers > 1 ? workers : 0, op);
    std::vector<unsigned> copiedBy(jobs.size());
    // A thread stops at the first target it could not write: its slot holds that one.
    std::vector<StepResult> notWrittenBy(std::max(workers, 1u));
    const std::size_t stopped =
        files::ForEachIndex(jobs.size(), workers, [&](std::size_t k, unsigned worker) {
            const PartFileJob& job = jobs[k];
            const auto record = known.find(job.place);
            copiedBy[k] = worker;
            ends[k] = CopyChecked(workers > 1 ? ops[worker] : op, mode, job.source, job.target,
                                  notWrittenBy[worker],
                                  record == known.end() ? nullptr : &record->second, &made[k]);
            if (progress != nullptr) progress->Done();
            return ends[k] != CopyEnd::NotWritten;
        });
    if (stopped < jobs.size()) {
        // The failure that a sequential run would have met first is the one told.
        copies.notWritten = jobs[stopped].previous;
        return notWrittenBy[copiedBy[stopped]];
    }
    StepResult notWritten;
    if (std::any_of(ends.begin(), ends.end(), WorthRereading)) {
        pause();
        for (std::size_t k = 0; k < jobs.size(); ++k) {
            if (!WorthRereading(ends[k])) continue;
            ends[k] = CopyChecked(op, mode, jobs[k].source, jobs[k].target, notWritten, nullptr,
                                  &made[k]);
            if (ends[k] == CopyEnd::NotWritten) {
                copies.notWritten = jobs[k].previous;
                return notWritten;
            }
        }
    }
    const bool anyLost = std::any_of(ends.begin(), ends.end(), [](CopyEnd end) {
        return end == CopyEnd::Missing || end == CopyEnd::Unreadable;
    });
    if (anyLost && !StillThere(temp)) {
        copies.sourceGone = temp.Path();
        return {false, "", 0};
    }
    for (std::size_t k = 0; k < jobs.size(); ++k) {
        const PartFileJob& job = jobs[k];
        bool spareOnly = false;
        if (ends[k] == CopyEnd::Damaged || ends[k] == CopyEnd::Missing ||
            ends[k] == CopyEnd::Unreadable) {
            bool spareFound = false;
            const CopyEnd spare = CopyClientsSpare(op, mode, job, spareFound, notWritten);
            if (spare == CopyEnd::NotWritten) {
                copies.notWritten = job.previous;
                return notWritten;
            }
            // A file missing beside its spare is a download the client lost hold of, not one
            // that completed.
            spareOnly = ends[k] == CopyEnd::Missing && spareFound;
            if (spare == CopyEnd::Copied) {
                ++copies.written;
                (spareOnly ? copies.spareOnly : copies.kept).push_back(job.source);
                continue;
            }
            if (spareOnly) ends[k] = CopyEnd::Damaged;
        }
        switch (ends[k]) {
            case CopyEnd::Copied:
                ++copies.written;
                copies.records[job.place] = made[k];
                break;
            case CopyEnd::TooLong:
                copies.tooLong.push_back(job.source);
                break;
            case CopyEnd::BadName:
                copies.badName.push_back(job.source);
                break;
            case CopyEnd::Missing:
            case CopyEnd::NotWritten:
                break;
            case CopyEnd::Damaged:
            case CopyEnd::Unreadable: {
                // The last good state of the download survives this run and every later one.
                const CopyEnd carried = CopyChecked(op, mode, job.previous, job.target, notWritten);
                if (carried == CopyEnd::NotWritten) {
                    copies.notWritten = job.previous;
                    return notWritten;
                }
                if (carried == CopyEnd::Copied) {
                    ++copies.written;
                    (spareOnly ? copies.spareOnly : copies.kept).push_back(job.source);
                } else {
                    copies.lost.push_back(job.source);
                }
                break;
            }
        }
    }
    return {};
}

}  // namespace hw
