#include "backup/part_file_copies.h"

#include <cerrno>

#include "backup/part_file_check.h"

namespace hw {

namespace {

enum class CopyEnd { Copied, TooLong, Damaged, Missing, Unreadable, NotWritten };

CopyEnd CopyChecked(TabfFileOperation& op, const std::string& from, const std::string& to) {
    op.SetFileList({from});
    op.DestFolder = to;
    if (op.Copy()) return CopyEnd::Copied;
    const int error = op.LastErrorCode();
    if (!op.LastFailureInSource()) {
        return error == ENAMETOOLONG ? CopyEnd::TooLong : CopyEnd::NotWritten;
    }
    if (error == EBADMSG) return CopyEnd::Damaged;
    if (error == ENOENT || error == ENOTDIR) return CopyEnd::Missing;
    return CopyEnd::Unreadable;
}

bool WorthRereading(CopyEnd end) {
    return end == CopyEnd::Damaged || end == CopyEnd::Missing;
}

}  // namespace

PartFileCheckScope::PartFileCheckScope(TabfFileOperation& op) : op_(op) {
    op_.acceptCopy = [](const std::string& bytes) { return IsWellFormedPartFile(bytes); };
}

bool CopyPartFiles(TabfFileOperation& op, const std::vector<PartFileJob>& jobs,
                   const std::function<void()>& pause, PartFileCopies& copies) {
    PartFileCheckScope check(op);
    std::vector<CopyEnd> ends;
    ends.reserve(jobs.size());
    bool reread = false;
    for (const PartFileJob& job : jobs) {
        ends.push_back(CopyChecked(op, job.source, job.target));
        if (ends.back() == CopyEnd::NotWritten) {
            copies.notWritten = job.previous;
            return false;
        }
        reread = reread || WorthRereading(ends.back());
    }
    if (reread) {
        pause();
        for (std::size_t k = 0; k < jobs.size(); ++k) {
            if (!WorthRereading(ends[k])) continue;
            ends[k] = CopyChecked(op, jobs[k].source, jobs[k].target);
            if (ends[k] == CopyEnd::NotWritten) {
                copies.notWritten = jobs[k].previous;
                return false;
            }
        }
    }
    for (std::size_t k = 0; k < jobs.size(); ++k) {
        const PartFileJob& job = jobs[k];
        switch (ends[k]) {
            case CopyEnd::Copied:
                ++copies.written;
                break;
            case CopyEnd::TooLong:
                copies.tooLong.push_back(job.source);
                break;
            case CopyEnd::Missing:
            case CopyEnd::NotWritten:
                break;
            case CopyEnd::Damaged:
            case CopyEnd::Unreadable: {
                // The last good state of the download survives this run and every later one.
                const CopyEnd carried = CopyChecked(op, job.previous, job.target);
                if (carried == CopyEnd::NotWritten) {
                    copies.notWritten = job.previous;
                    return false;
                }
                if (carried == CopyEnd::Copied) {
                    ++copies.written;
                    copies.kept.push_back(job.source);
                } else {
                    copies.lost.push_back(job.source);
                }
                break;
            }
        }
    }
    return true;
}

}  // namespace hw
