#include "backup/run_history.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>
#include <vector>

#include "base/paths.h"
#include "settings/settings_location.h"
#include "shell/file_copy.h"
#include "shell/find_files.h"

namespace hw {

namespace {

// A line longer than this is no run the history wrote (messages are cut well below it): it is
// skipped without being loaded.
constexpr std::size_t kLongestLine = 64 * 1024;
constexpr std::size_t kLongestMessage = 16 * 1024;
// The history is read from its end in chunks, and never more than this of it: the last backup
// is looked for there, and a trimmed history keeps no more.
constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kTailBytes = 4 * 1024 * 1024;

// The history opened with `flags`, or -1; `notAFile` then tells whether something other than a
// regular file stands there: a pipe would block the open or the read, a device never end, a
// link lead to someone else's file.
int OpenRegular(const std::string& path, int flags, struct stat& info, bool& notAFile) {
    notAFile = false;
    // The first look avoids opening such a file at all; the second, at what was opened, counts.
    if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        notAFile = true;
        return -1;
    }
    const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        // Put there since the first look: a link, a pipe without reader or a socket, a folder.
        notAFile = errno == ELOOP || errno == ENXIO || errno == EISDIR;
        return -1;
    }
    const bool stated = ::fstat(fd, &info) == 0;
    if (stated && S_ISREG(info.st_mode)) return fd;
    notAFile = stated;
    ::close(fd);
    return -1;
}

bool ReadAt(int fd, char* data, std::size_t size, off_t at) {
    while (size > 0) {
        const ssize_t n = ::pread(fd, data, size, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // an error, or the file got shorter meanwhile
        data += n;
        size -= static_cast<std::size_t>(n);
        at += n;
    }
    return true;
}

enum class Walk { Stopped, AtStart, AtLimit, Failed };

// Gives the lines of the first `size` bytes of `fd` to `visit`, newest first, with the offset
// where each starts, until it returns false; reads at most `limit` bytes, in chunks from the
// end. A line longer than kLongestLine comes as `overLong`, empty and perhaps without its offset
// (-1), and is never loaded whole. Bytes after the last line break are a line cut short by a crash:
// no run.
Walk WalkLinesBackwards(
    int fd, off_t size, std::size_t limit,
    const std::function<bool(const std::string& line, off_t start, bool overLong)>& visit) {
    std::string piece;      // the bytes from `at` not given yet
    bool ended = false;     // the piece ends at a line break, not in a line cut short
    bool skipping = false;  // the piece lies in an over-long line, already given
    off_t at = size;
    std::size_t read = 0;
    std::string chunk;
    while (at > 0) {
        if (read >= limit) return Walk::AtLimit;
        const std::size_t n = static_cast<std::size_t>(std::min<off_t>(at, kChunk));
        at -= static_cast<off_t>(n);
        read += n;
        chunk.resize(n);
        if (!ReadAt(fd, chunk.data(), n, at)) return Walk::Failed;
        piece.insert(0, chunk);
        for (std::size_t end; (end = piece.rfind('\n')) != std::string::npos; piece.resize(end)) {
            const bool overLong = piece.size() - end - 1 > kLongestLine;
            if (ended && !skipping &&
                !visit(overLong ? std::string() : piece.substr(end + 1), at + end + 1, overLong)) {
                return Walk::Stopped;
            }
            ended = true;
            skipping = false;
        }
        if (!skipping && piece.size() > kLongestLine) {
            if (ended && !visit({}, -1, true)) return Walk::Stopped;
            skipping = true;
        }
        if (skipping) piece.clear();
    }
    if (ended && !skipping && !visit(piece, 0, false)) return Walk::Stopped;
    return Walk::AtStart;
}

// Replaces the history by its newest `keep` lines once it holds a tenth more, or by the lines
// after an over-long one, or by those in its last kTailBytes. The lines are copied in chunks
// from `fd`, the history of `size` bytes, into a new file that takes its place in one step.
bool TrimHistory(const std::string& path, int fd, const struct stat& info, std::size_t keep) {
    const off_t size = info.st_size;
    std::size_t lines = 0;
    off_t keptFrom = size;  // where the newest `keep` lines start
    off_t oldest = size;    // where the oldest line read so far starts
    off_t cut = 0;          // the lines from here on stay
    const Walk walk = WalkLinesBackwards(fd, size, kTailBytes,
                                         [&](const std::string&, off_t start, bool overLong) {
                                             if (overLong) {
                                                 cut = oldest;
                                                 return false;
                                             }
                                             if (++lines == keep) keptFrom = start;
                                             oldest = start;
                                             if (lines > keep + keep / 10) {
                                                 cut = keptFrom;
                                                 return false;
                                             }
                                             return true;
                                         });
    if (walk == Walk::AtLimit) cut = oldest;
    if (walk == Walk::Failed || walk == Walk::AtStart || cut == 0) return true;
    return files::ReplaceFile(path, [&](int to) {
        // Owner first: changing it may clear set-id bits, which the mode then restores.
        if (::fchown(to, info.st_uid, info.st_gid) != 0) {
            // Only the superuser may give a file away; the bits apply all the same.
        }
        if (::fchmod(to, info.st_mode & 07777) != 0) return false;
        std::string chunk;
        for (off_t at = cut; at < size;) {
            const std::size_t n = static_cast<std::size_t>(std::min<off_t>(size - at, kChunk));
            chunk.resize(n);
            if (!ReadAt(fd, chunk.data(), n, at) || !files::WriteAllBytes(to, chunk.data(), n)) {
                return false;
            }
            at += static_cast<off_t>(n);
        }
        return true;
    });
}

// The history's folder, locked for one append and trim, or -1. Another program holds it for a
// moment only; one that does not let go within two seconds costs this run's trim, not its line.
int LockFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    for (int tries = 0; tries < 200; ++tries) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        ::usleep(10000);
    }
    ::close(fd);
    return -1;
}

// The fields of a line, empty ones included (a folder that was not set is one).
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
        fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    return fields;
}

bool ParseCount(const std::string& text, std::size_t& count) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    count = static_cast<std::size_t>(std::strtoull(text.c_str(), nullptr, 10));
    return true;
}

}  // namespace

std::string OneLine(const std::string& text) {
    std::string line;
    for (const char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() != ' ') line += " | ";
        } else {
            line += c == '\t' || c == '\r' ? ' ' : c;
        }
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == '|')) line.pop_back();
    return line;
}

std::string LocalTime(std::time_t when, const char* format) {
    struct tm local {};
    char text[40] = {};
    if (::localtime_r(&when, &local) == nullptr ||
        std::strftime(text, sizeof text, format, &local) == 0) {
        return {};
    }
    return text;
}

std::string DefaultHistoryFile(const char* stateHome, const std::string& home) {
    std::string folder;
    if (stateHome != nullptr && LooksLikeAbsolutePath(stateHome)) {
        folder = stateHome;
    } else if (LooksLikeAbsolutePath(home)) {
        folder = JoinPath(home, ".local/state");
    } else {
        return {};
    }
    return JoinPath(JoinPath(folder, "hoardwise"), "history.log");
}

std::string BackupFolderName(const std::string& folder) {
    if (!LooksLikeAbsolutePath(folder)) return {};
    std::string name;  // "" stands for "/"
    // Element by element: links are resolved where the path so far exists, and ".." is taken
    // from a path without links.
    for (const std::string& element : SplitText(folder, "/")) {
        if (element == ".") continue;
        if (element == "..") {
            name.resize(name.empty() ? 0 : name.rfind('/'));
            continue;
        }
        name += "/" + element;
        char real[PATH_MAX];
        if (::realpath(name.c_str(), real) != nullptr) name = std::string(real) == "/" ? "" : real;
    }
    return name.empty() ? "/" : name;
}

std::string FormatRunRecord(const RunRecord& run) {
    const std::string when = LocalTime(run.when, "%Y-%m-%dT%H:%M:%S%z");
    if (when.empty()) return {};
    std::string message = OneLine(run.message);
    if (message.size() > kLongestMessage) {
        std::size_t end = kLongestMessage;
        // Not within a character of several bytes.
        while (end > 0 && (static_cast<unsigned char>(message[end]) & 0xC0) == 0x80) --end;
        message.resize(end);
        message += " ...";
    }
    return when + "\t" + (run.restore ? "restore" : "backup") + "\t" +
           (run.automatic ? "automatic" : "manual") + "\t" + std::to_string(run.files) + "\t" +
           std::to_string(run.damaged) + "\t" + (run.succeeded ? "succeeded" : "failed") + "\t" +
           OneLine(run.folder.value_or("")) + "\t" + message;
}

std::optional<RunRecord> ParseRunRecord(const std::string& line) {
    // Seven fields, the message last, in a line of an older version; eight with the folder.
    const std::vector<std::string> fields = Fields(line);
    if (fields.size() < 6) return std::nullopt;
    RunRecord run;
    struct tm local {};
    const char* end = ::strptime(fields[0].c_str(), "%Y-%m-%dT%H:%M:%S%z", &local);
    if (end == nullptr || *end != '\0') return std::nullopt;
    run.when = ::timegm(&local) - local.tm_gmtoff;
    if (fields[1] != "backup" && fields[1] != "restore") return std::nullopt;
    run.restore = fields[1] == "restore";
    run.automatic = fields[2] == "automatic";
    if (!ParseCount(fields[3], run.files) || !ParseCount(fields[4], run.damaged)) {
        return std::nullopt;
    }
    run.succeeded = fields[5] == "succeeded";
    if (fields.size() > 7) run.folder = fields[6];
    if (fields.size() > 6) run.message = fields.back();
    return run;
}

HistoryAppend AppendRunRecord(const std::string& path, const RunRecord& run, std::size_t keep) {
    std::string line = FormatRunRecord(run) + "\n";
    if (path.empty() || line.size() < 2) return HistoryAppend::Failed;
    CreatePrivateFolders(ParentPath(path));
    // A trim copies the newest runs into a new file: a run another program added meanwhile, to
    // the old one, would be lost.
    const int lock = LockFolder(ParentPath(path));
    struct stat info {};
    bool notAFile = false;
    const int fd = OpenRegular(path, O_RDWR | O_CREAT | O_APPEND, info, notAFile);
    if (fd < 0) {
        if (lock >= 0) ::close(lock);
        return notAFile ? HistoryAppend::NotAFile : HistoryAppend::Failed;
    }
    // A line cut short by a crash is ended first: the run would be read as the rest of it.
    char last = '\n';
    if (info.st_size > 0 && ReadAt(fd, &last, 1, info.st_size - 1) && last != '\n') {
        line.insert(0, "\n");
    }
    // One write with O_APPEND: a run's line is never mixed with another's.
    const bool written = files::WriteAllBytes(fd, line.data(), line.size());
    // No run takes fewer bytes than this: a file smaller than that many runs is not read.
    constexpr std::size_t kShortestLine = 50;
    if (written && lock >= 0 && ::fstat(fd, &info) == 0 &&
        static_cast<std::size_t>(info.st_size) > (keep + keep / 10) * kShortestLine) {
        // The run is in; a history that could not be trimmed is trimmed by a later run.
        TrimHistory(path, fd, info, keep);
    }
    const bool closed = ::close(fd) == 0;
    if (lock >= 0) ::close(lock);
    return closed && written ? HistoryAppend::Written : HistoryAppend::Failed;
}

namespace {

// The parsed runs of the history at `path`, newest first, until `visit` returns false.
void WalkRuns(const std::string& path, const std::function<bool(RunRecord&)>& visit) {
    struct stat info {};
    bool notAFile = false;
    const int fd = path.empty() ? -1 : OpenRegular(path, O_RDONLY, info, notAFile);
    if (fd < 0) return;
    WalkLinesBackwards(fd, info.st_size, kTailBytes,
                       [&](const std::string& line, off_t, bool overLong) {
                           if (overLong) return true;
                           std::optional<RunRecord> run = ParseRunRecord(line);
                           return !run || visit(*run);
                       });
    ::close(fd);
}

}  // namespace

BackupRuns LastBackupRuns(const std::string& path, const std::string& folder) {
    BackupRuns found;
    const std::string name = OneLine(folder);
    WalkRuns(path, [&](RunRecord& run) {
        if (run.restore || run.folder != name) return true;
        if (!found.newest) found.newest = run;
        if (run.succeeded) found.succeeded = std::move(run);
        return !found.succeeded;
    });
    return found;
}

std::vector<RunRecord> ReadRunHistory(const std::string& path, std::size_t most) {
    std::vector<RunRecord> runs;
    if (most == 0) return runs;
    WalkRuns(path, [&](RunRecord& run) {
        runs.push_back(std::move(run));
        return runs.size() < most;
    });
    return runs;
}

}  // namespace hw
