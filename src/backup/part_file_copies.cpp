#include "backup/part_file_copies.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "backup/part_file_check.h"
#include "backup/run_support.h"
#include "shell/folders.h"
#include "shell/parallel.h"

namespace hw {

namespace {

// Unsettled: written a moment ago, and left for a later pass (see files::WouldWaitToSettle).
// clang-format off
enum class CopyEnd { Copied, TooLong, BadName, Damaged, Missing, Unreadable, NotWritten, Unsettled };
// clang-format on

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
    const bool hasPrevious = ::stat(job.Previous().c_str(), &previous) == 0;
    const std::string source = job.Source();
    const std::string target = job.Target();
    found = false;
    for (const char* suffix : kClientSpareSuffixes) {
        const std::string spare = source + suffix;
        struct stat info {};
        if (::lstat(spare.c_str(), &info) != 0) continue;
        found = true;
        if (hasPrevious && (info.st_mtim.tv_sec < previous.st_mtim.tv_sec ||
                            (info.st_mtim.tv_sec == previous.st_mtim.tv_sec &&
                             info.st_mtim.tv_nsec < previous.st_mtim.tv_nsec))) {
            continue;
        }
        const CopyEnd end = CopyChecked(op, mode, spare, target, notWritten);
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

// Looks at the job's source once for both questions below, relative to the temp folder held
// open, so that a run of thousands walks no full path for each; `name` is room for the source's
// relative path. False when it cannot be looked at.
bool LookAtSource(const PartFileJob& job, const files::FolderAnchor& temp, std::string& name,
                  struct stat& info) {
    if (!temp.IsOpen()) return ::stat(job.Source().c_str(), &info) == 0;
    name.assign(job.SourceInTemp());
    return ::fstatat(temp.Descriptor(), name.c_str(), &info, 0) == 0;
}

// True when the job's source (`source`, as LookAtSource saw it) and its copy in the staging
// folder are both as `known` recorded them (see files::StillAsRecordedAt): the copy is kept
// unread.
bool KeptAsRecorded(const PartFileJob& job, const struct stat& source,
                    const files::CopyRecord& known, const files::FolderAnchor& staging) {
    if (!staging.IsOpen()) {
        return files::StillAsRecordedAt(source, AT_FDCWD, job.Target().c_str(), known);
    }
    return files::StillAsRecordedAt(source, staging.Descriptor(), job.place.c_str(), known);
}

// True when the source changed so recently that its copy would first wait for the write to end
// (see files::WouldWaitToSettle). A source that cannot be looked at is copied at once, which
// tells why.
bool Unsettled(const struct stat& source, const TabfFileOperation::CopyMode& mode) {
    return S_ISREG(source.st_mode) && files::WouldWaitToSettle(source, mode);
}

}  // namespace

std::string_view PartFileJob::SourceInTemp() const {
    const std::size_t suffix = std::strlen(kBackupSuffix);
    return std::string_view(place).substr(0, place.size() - std::min(suffix, place.size()));
}

std::string PartFileJob::Source() const {
    return JoinPath(folders->temp, std::string(SourceInTemp()));
}

std::string PartFileJob::Target() const {
    return JoinPath(folders->staging, place);
}

std::string PartFileJob::Previous() const {
    return JoinPath(folders->backup, place);
}

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
    // One record a job, in the jobs' order: each copy writes its own.
    std::size_t nameBytes = 0;
    for (const PartFileJob& job : jobs) nameBytes += job.place.size();
    copies.records.clear();
    copies.records.reserve(jobs.size(), nameBytes);
    for (const PartFileJob& job : jobs) copies.records.Add(job.place, {});
    // Each thread copies through a file operation of its own. The seam before each copy is
    // called here, once a source, also for a copy kept by its record.
    const unsigned workers = std::max(op.CopyWorkers(jobs.size()), 1u);
    std::vector<TabfFileOperation> ops(workers, op);
    for (TabfFileOperation& own : ops) own.beforeCopy = nullptr;
    std::vector<std::string> names(workers);
    std::vector<unsigned> copiedBy(jobs.size());
    // A thread stops at the first target it could not write: its slot holds that one.
    std::vector<StepResult> notWrittenBy(workers);
    TabfFileOperation::CopyMode settling = mode;
    settling.clock = op.clock;
    const std::size_t stopped =
        files::ForEachIndex(jobs.size(), workers, [&](std::size_t k, unsigned worker) {
            const PartFileJob& job = jobs[k];
            files::CopyRecord& made = copies.records.At(k);
            const files::CopyRecord* record = known.Find(job.place);
            copiedBy[k] = worker;
            if (op.beforeCopy) op.beforeCopy(job.Source());
            struct stat source {};
            const bool looked = LookAtSource(job, temp, names[worker], source);
            if (looked && record != nullptr && KeptAsRecorded(job, source, *record, staging)) {
                made = *record;
                ends[k] = CopyEnd::Copied;
            } else {
                ends[k] = looked && Unsettled(source, settling)
                              ? CopyEnd::Unsettled
                              : CopyChecked(ops[worker], mode, job.Source(), job.Target(),
                                            notWrittenBy[worker], nullptr, &made);
            }
            if (progress != nullptr) progress->Done();
            return ends[k] != CopyEnd::NotWritten;
        });
    if (stopped < jobs.size()) {
        // The failure that a sequential run would have met first is the one told.
        copies.notWritten = jobs[stopped].Previous();
        return notWrittenBy[copiedBy[stopped]];
    }
    // The sources written a moment ago, copied now that the others are done: the wait for their
    // writes to end (in the first of them) is what is left of it, once for all.
    std::vector<std::size_t> unsettled;
    for (std::size_t k = 0; k < jobs.size(); ++k) {
        if (ends[k] == CopyEnd::Unsettled) unsettled.push_back(k);
    }
    const std::size_t stoppedLater = files::ForEachIndex(
        unsettled.size(), std::min(std::max(op.CopyWorkers(unsettled.size()), 1u), workers),
        [&](std::size_t i, unsigned worker) {
            const std::size_t k = unsettled[i];
            copiedBy[k] = worker;
            ends[k] = CopyChecked(ops[worker], mode, jobs[k].Source(), jobs[k].Target(),
                                  notWrittenBy[worker], nullptr, &copies.records.At(k));
            return ends[k] != CopyEnd::NotWritten;
        });
    if (stoppedLater < unsettled.size()) {
        const std::size_t k = unsettled[stoppedLater];
        copies.notWritten = jobs[k].Previous();
        return notWrittenBy[copiedBy[k]];
    }
    StepResult notWritten;
    if (std::any_of(ends.begin(), ends.end(), WorthRereading)) {
        pause();
        for (std::size_t k = 0; k < jobs.size(); ++k) {
            if (!WorthRereading(ends[k])) continue;
            ends[k] = CopyChecked(op, mode, jobs[k].Source(), jobs[k].Target(), notWritten, nullptr,
                                  &copies.records.At(k));
            if (ends[k] == CopyEnd::NotWritten) {
                copies.notWritten = jobs[k].Previous();
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
        // Only a copy made from the source itself keeps its record.
        if (ends[k] != CopyEnd::Copied) copies.records.At(k) = {};
        bool spareOnly = false;
        if (ends[k] == CopyEnd::Damaged || ends[k] == CopyEnd::Missing ||
            ends[k] == CopyEnd::Unreadable) {
            bool spareFound = false;
            const CopyEnd spare = CopyClientsSpare(op, mode, job, spareFound, notWritten);
            if (spare == CopyEnd::NotWritten) {
                copies.notWritten = job.Previous();
                return notWritten;
            }
            // A file missing beside its spare is a download the client lost hold of, not one
            // that completed.
            spareOnly = ends[k] == CopyEnd::Missing && spareFound;
            if (spare == CopyEnd::Copied) {
                ++copies.written;
                (spareOnly ? copies.spareOnly : copies.kept).push_back(job.Source());
                continue;
            }
            if (spareOnly) ends[k] = CopyEnd::Damaged;
        }
        switch (ends[k]) {
            case CopyEnd::Copied:
                ++copies.written;
                break;
            case CopyEnd::TooLong:
                copies.tooLong.push_back(job.Source());
                break;
            case CopyEnd::BadName:
                copies.badName.push_back(job.Source());
                break;
            case CopyEnd::Missing:
            case CopyEnd::NotWritten:
            case CopyEnd::Unsettled:
                break;
            case CopyEnd::Damaged:
            case CopyEnd::Unreadable: {
                // The last good state of the download survives this run and every later one.
                const std::string previous = job.Previous();
                const CopyEnd carried = CopyChecked(op, mode, previous, job.Target(), notWritten);
                if (carried == CopyEnd::NotWritten) {
                    copies.notWritten = previous;
                    return notWritten;
                }
                if (carried == CopyEnd::Copied) {
                    ++copies.written;
                    (spareOnly ? copies.spareOnly : copies.kept).push_back(job.Source());
                } else {
                    copies.lost.push_back(job.Source());
                }
                break;
            }
        }
    }
    return {};
}

}  // namespace hw
