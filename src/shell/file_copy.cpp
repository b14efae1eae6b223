#include "shell/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "base/paths.h"
#include "shell/descriptor.h"

namespace hw::files {

namespace {

using Fd = Descriptor;

// Removes a half-written file; the errno of the original failure is kept.
void Discard(const std::string& path) {
    const int saved = errno;
    ::unlink(path.c_str());
    errno = saved;
}

// The process's umask as the kernel tells it; every bit where it does not.
mode_t ReadUmask() {
    FILE* status = std::fopen("/proc/self/status", "re");
    if (status == nullptr) return 0777;
    unsigned mask = 0777;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "Umask: %o", &mask) == 1) break;
    }
    std::fclose(status);
    return static_cast<mode_t>(mask);
}

// The permissions that a file created with `mode` gets: the umask takes bits away, and the
// special ones are not given at all. Where the system does not tell the umask, it is taken to
// take all, so that the permissions are always set anew.
mode_t CreatedMode(mode_t mode) {
    static const mode_t mask = ReadUmask();
    return mode & 0777 & ~mask;
}

// Opens `path` for rewriting, creating it when missing; `info` receives what is there now.
// Another name linking to the same file (a snapshot of the backup made with hard links) keeps
// its bytes: the name gets a file of its own. So does a file left read-only by an earlier copy
// of a read-only source, which an ordinary user cannot open for writing.
int OpenToOverwrite(const std::string& path, mode_t mode, struct stat& info) {
    Fd fd(::open(path.c_str(), O_RDWR | O_CREAT | kOpenFlags, mode));
    const bool opened = fd.ok();
    if (!opened && errno != EACCES) return -1;
    if (opened) {
        if (::fstat(fd.get(), &info) != 0) return -1;
        if (S_ISREG(info.st_mode) && info.st_nlink <= 1) return fd.release();
        fd.close();
    }
    if (::unlink(path.c_str()) != 0) {
        // Nothing there to replace: the folder itself refused the new name.
        if (errno == ENOENT && !opened) errno = EACCES;
        return -1;
    }
    Fd fresh(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | kOpenFlags, mode));
    if (!fresh.ok() || ::fstat(fresh.get(), &info) != 0) return -1;
    return fresh.release();
}

// A failure that errno describes.
CopyResult Failure(CopyStatus status) {
    return {status, errno != 0 ? errno : EIO};
}

CopyResult SourceFailure() {
    return Failure(CopyStatus::SourceFailed);
}

CopyResult TargetFailure() {
    return Failure(CopyStatus::TargetFailed);
}

// The whole content of an open file from its start. `size` is what fstat told: a read that
// stops short right there has met the end, which saves asking once more. A file that holds more
// than `most` bytes is read only to the byte after them, so that one growing meanwhile cannot
// take all memory: `bytes` then ends longer than `most`.
bool ReadWhole(int fd, off_t size, std::string& bytes, std::size_t most = SIZE_MAX - 1) {
    // A byte more than its size, so that a file grown meanwhile shows at once.
    bytes.assign(std::min(static_cast<std::size_t>(size), most) + 1, '\0');
    std::size_t have = 0;
    for (;;) {
        if (have == bytes.size()) {
            if (have > most) break;
            bytes.resize(std::min(2 * have, most + 1));
        }
        const ssize_t got =
            ::pread(fd, &bytes[have], bytes.size() - have, static_cast<off_t>(have));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        have += static_cast<std::size_t>(got);
        if (have == static_cast<std::size_t>(size) && have < bytes.size()) break;
    }
    bytes.resize(have);
    return true;
}

bool WriteThrough(const ByteWrite& write, int to, const char* data, std::size_t size) {
    return write ? write(to, data, size) : WriteAllBytes(to, data, size);
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool SameMode(const struct stat& a, const struct stat& b) {
    return (a.st_mode & 07777) == (b.st_mode & 07777);
}

void KeepMode(int fd, const struct stat& source) {
    ::fchmod(fd, source.st_mode & 07777);
}

// Users compare dates of their backups, so the copy keeps the source's modification time.
void KeepTimes(int fd, const struct stat& source) {
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    ::futimens(fd, times);
}

// The clock that file systems take change times from. A source whose change time lies before the
// moment it is read cannot be written later with that same change time; one written within the
// same tick could, and its record is not trusted.
struct timespec CoarseNow() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}

bool Before(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

bool SameFile(const struct stat& info, const CopyRecord& record) {
    return info.st_ino == record.sourceInode && info.st_size == record.size &&
           SameTime(info.st_mtim, record.sourceModified) &&
           SameTime(info.st_ctim, record.sourceChanged);
}

// The record of a finished copy: the source as it was read, the target as it is now. A copy
// that cannot be looked at gets no trusted record (it is read again next time), and stays made.
void Record(const struct stat& source, const struct timespec& readAt, const struct stat* copy,
            CopyRecord* record) {
    if (record == nullptr) return;
    if (copy == nullptr) {
        *record = CopyRecord{};
        return;
    }
    *record = CopyRecord{source.st_ino,
                         source.st_size,
                         source.st_mtim,
                         source.st_ctim,
                         copy->st_ino,
                         copy->st_ctim,
                         Before(source.st_ctim, readAt)};
}

// Makes `target` hold exactly `bytes`, rewriting the file there. Bytes it holds already are
// not written again: a backup finds most downloads unchanged since the generation it reuses.
// `written` receives the file as it is at the end; its change time counts for its record.
bool OverwriteWith(const std::string& target, const std::string& bytes, const struct stat& source,
                   const CopyOptions& options, struct stat& written) {
    struct stat have {};
    const mode_t mode = source.st_mode & 0777;
    int fd = -1;
    if (options.newNames) {
        fd = ::open(target.c_str(), O_RDWR | O_CREAT | O_EXCL | kOpenFlags, mode);
        if (fd >= 0) {
            have.st_mode = S_IFREG | CreatedMode(mode);
            have.st_nlink = 1;
        }
    }
    Fd out(fd >= 0 ? fd : OpenToOverwrite(target, mode, have));
    if (!out.ok()) return false;
    const auto size = static_cast<off_t>(bytes.size());
    std::string old;
    const bool same =
        have.st_size == size && ReadWhole(out.get(), size, old, bytes.size()) && old == bytes;
    if (!same && (!WriteThrough(options.write, out.get(), bytes.data(), bytes.size()) ||
                  (have.st_size > size && ::ftruncate(out.get(), size) != 0))) {
        Discard(target);
        return false;
    }
    if (!SameMode(have, source)) KeepMode(out.get(), source);
    if (!same || !SameTime(have.st_mtim, source.st_mtim)) KeepTimes(out.get(), source);
    return ::fstat(out.get(), &written) == 0 && out.close();
}

bool ListFolder(const std::string& folder, std::vector<std::string>& names) {
    Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.ok() && ListFolderAt(fd.get(), names);
}

}  // namespace

bool StillAsRecordedAt(int sourceFolder, const char* source, int targetFolder, const char* target,
                       const CopyRecord& record) {
    struct stat from {};
    return record.trusted && ::fstatat(sourceFolder, source, &from, 0) == 0 &&
           StillAsRecordedAt(from, targetFolder, target, record);
}

bool StillAsRecordedAt(const struct stat& source, int targetFolder, const char* target,
                       const CopyRecord& record) {
    // The source first: a changed one is the common answer, and spares the look at the target.
    struct stat to {};
    if (!record.trusted || !S_ISREG(source.st_mode) || !SameFile(source, record) ||
        ::fstatat(targetFolder, target, &to, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(to.st_mode) ||
        to.st_nlink != 1) {
        return false;
    }
    return to.st_size == record.size && to.st_ino == record.copyInode &&
           SameTime(to.st_ctim, record.copyChanged);
}

bool WriteAllBytes(int to, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(to, data + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool CopyAllBytes(int from, int to, bool* readFailed, const ByteWrite& write) {
    if (readFailed != nullptr) *readFailed = false;
    // The kernel moves the bytes itself where the file systems let it (no trip through this
    // process, shared extents where offered). Any refusal, even halfway, hands over to read and
    // write from the offsets reached, which also tell a failing read from a failing write.
    static constexpr std::size_t kRange = std::size_t{1} << 30;
    bool movedAny = false;
    while (!write) {
        const ssize_t moved = ::copy_file_range(from, nullptr, to, nullptr, kRange, 0);
        if (moved < 0 && errno == EINTR) continue;
        if (moved < 0) break;
        // Some file systems answer 0 for files whose size they do not know; read makes sure.
        if (moved == 0 && movedAny) return true;
        if (moved == 0) break;
        movedAny = true;
    }
    static constexpr std::size_t kChunk = 128 * 1024;
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (;;) {
        const ssize_t got = ::read(from, buffer.get(), kChunk);
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR) continue;
            if (readFailed != nullptr) *readFailed = true;
            return false;
        }
        const auto size = static_cast<std::size_t>(got);
        if (!WriteThrough(write, to, buffer.get(), size)) return false;
    }
}

namespace {

// A change this recent may belong to a write that is still under way.
constexpr long long kRecentNs = 2'000'000'000;
// How long a write that began at a file's change time is given to end before the file is read
// a second time: longer than the kernel stops a writer at most while its dirty pages are written
// out (200 ms), which can happen halfway through one write.
constexpr long long kSettleNs = 300'000'000;

bool SameState(const struct stat& a, const struct stat& b) {
    return a.st_size == b.st_size && SameTime(a.st_mtim, b.st_mtim) &&
           SameTime(a.st_ctim, b.st_ctim);
}

struct timespec Now(const CopyOptions& options) {
    if (options.clock) return options.clock();
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

// True when `changed` lies less than kRecentNs before `now`, or after it (a clock set back, the
// coarse tick of file times); `wait` receives what is left of kSettleNs since the change.
bool ChangedJustNow(const struct timespec& changed, const struct timespec& now, long long& wait) {
    // Whole seconds first, so that no time far off overflows the nanoseconds.
    if (changed.tv_sec < now.tv_sec - 3) return false;
    if (changed.tv_sec > now.tv_sec + 1) {
        wait = kSettleNs;
        return true;
    }
    const long long since = (static_cast<long long>(now.tv_sec) - changed.tv_sec) * 1'000'000'000 +
                            (now.tv_nsec - changed.tv_nsec);
    wait = std::clamp(kSettleNs - since, 0LL, kSettleNs);
    return since < kRecentNs;
}

void Sleep(long long nanoseconds) {
    struct timespec left {
        static_cast<time_t>(nanoseconds / 1'000'000'000),
            static_cast<long>(nanoseconds % 1'000'000'000)
    };
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// Reads the file again from its start; `same` tells whether it holds exactly `bytes`. Compared
// piece by piece, so that no second copy of the file is held.
bool ReadsTheSame(int fd, const std::string& bytes, bool& same) {
    static constexpr std::size_t kChunk = 128 * 1024;
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    same = false;
    std::size_t have = 0;
    for (;;) {
        // Up to a byte past the end, which shows a file grown meanwhile.
        const std::size_t want = std::min(kChunk, bytes.size() - have + 1);
        const ssize_t got = ::pread(fd, buffer.get(), want, static_cast<off_t>(have));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) {
            same = have == bytes.size();
            return true;
        }
        const auto size = static_cast<std::size_t>(got);
        if (size > bytes.size() - have || std::memcmp(buffer.get(), &bytes[have], size) != 0) {
            return true;
        }
        have += size;
    }
}

// Reads the whole source and makes sure that it did not change meanwhile: a client that
// rewrites a file in place in several writes could otherwise leave a copy mixed from two
// versions that still looks well-formed. One change is met by reading again; `info` ends as the
// state of the bytes read. A source that grows past options.largest is refused.
CopyResult ReadSteady(int in, struct stat& info, std::string& bytes, const CopyOptions& options) {
    const std::size_t most = options.largest != 0 ? options.largest : SIZE_MAX - 1;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!ReadWhole(in, info.st_size, bytes, most)) return SourceFailure();
        if (bytes.size() > most) return {CopyStatus::SourceRefused, 0};
        if (options.afterRead) options.afterRead();
        struct stat after {};
        if (::fstat(in, &after) != 0) return SourceFailure();
        if (!SameState(after, info)) {
            info = after;
            continue;
        }
        // A file's times change when a write to it begins, so a read that overlapped the rest
        // of that write found them equal before and after. Once such a write has had time to
        // end, a second read shows it. A change long ago costs nothing.
        long long wait = 0;
        if (!ChangedJustNow(after.st_ctim, Now(options), wait)) return {};
        if (options.waitBeforeSecondRead) {
            options.waitBeforeSecondRead();
        } else if (wait > 0) {
            Sleep(wait);
        }
        bool same = false;
        if (!ReadsTheSame(in, bytes, same)) return SourceFailure();
        if (options.afterRead) options.afterRead();
        if (::fstat(in, &after) != 0) return SourceFailure();
        if (same && SameState(after, info)) return {};
        info = after;
    }
    return {CopyStatus::SourceRefused, 0};
}

// A copy through a temporary name: put in place at once, or staged for the caller (created with
// `mode`).
bool CopyBeside(const std::string& target, const std::function<bool(int fd)>& fill,
                const CopyOptions& options, mode_t mode = 0600) {
    if (options.staged == nullptr) return ReplaceFile(target, fill, options.beforeRename);
    std::string written;
    if (!WriteNewBeside(target, fill, false, written, mode)) return false;
    options.staged->push_back({written, target});
    return true;
}

// True when a file as `have` describes may hold these bytes with the source's permissions and
// modification time, and is no other name's file as well.
bool MayHoldAlready(const struct stat& have, const std::string& bytes, const struct stat& source) {
    return S_ISREG(have.st_mode) && have.st_nlink == 1 &&
           have.st_size == static_cast<off_t>(bytes.size()) && SameMode(have, source) &&
           SameTime(have.st_mtim, source.st_mtim);
}

// True when the target is a regular file of its own that holds exactly these bytes, with the
// source's permissions and modification time: a copy would change nothing.
bool HoldsAlready(const std::string& target, const std::string& bytes, const struct stat& source) {
    struct stat have {};
    Fd fd(OpenRegular(target, O_RDONLY, 0, have));
    std::string old;
    return fd.ok() && MayHoldAlready(have, bytes, source) &&
           ReadWhole(fd.get(), have.st_size, old, bytes.size()) && old == bytes;
}

// Writes the judged bytes under a temporary name beside the target and renames them over it.
// A staged copy is left out where the target holds these bytes already: a restore over files
// that are still good then costs a read of each instead of a new file. One look at the target
// tells that, and finds a folder in its place (EISDIR), which takes no file of that name.
bool WriteBeside(const std::string& target, const std::string& bytes, const struct stat& source,
                 const CopyOptions& options) {
    struct stat have {};
    if (options.staged != nullptr && !options.newNames && ::stat(target.c_str(), &have) == 0) {
        if (S_ISDIR(have.st_mode)) {
            errno = EISDIR;
            return false;
        }
        if (MayHoldAlready(have, bytes, source) && HoldsAlready(target, bytes, source)) return true;
    }
    // A staged copy is created with the source's permissions; they are set once more only where
    // the creation could not give them all.
    const mode_t mode = source.st_mode & 07777;
    const bool modeGiven = options.staged != nullptr && CreatedMode(mode) == mode;
    return CopyBeside(
        target,
        [&](int out) {
            if (!WriteThrough(options.write, out, bytes.data(), bytes.size())) return false;
            if (!modeGiven) KeepMode(out, source);
            KeepTimes(out, source);
            return true;
        },
        options, mode & 0777);
}

// Rewrites the target itself, in a folder that is the temporary as a whole.
CopyResult CopyInPlace(int in, const struct stat& info, const std::string& target,
                       const CopyOptions& options) {
    struct stat before {};
    Fd out(OpenToOverwrite(target, info.st_mode & 0777, before));
    if (!out.ok()) return TargetFailure();
    bool readFailed = false;
    if ((before.st_size != 0 && ::ftruncate(out.get(), 0) != 0) ||
        !CopyAllBytes(in, out.get(), &readFailed, options.write)) {
        const CopyResult failed = readFailed ? SourceFailure() : TargetFailure();
        Discard(target);
        return failed;
    }
    KeepMode(out.get(), info);
    KeepTimes(out.get(), info);
    return out.close() ? CopyResult{} : TargetFailure();
}

// The source is read once into memory and judged there, and exactly what was judged is
// written: a change of the source meanwhile cannot slip into the copy.
CopyResult CopyJudged(int in, struct stat info, const std::string& target,
                      const CopyOptions& options) {
    if (options.largest != 0 && static_cast<std::uint64_t>(info.st_size) > options.largest) {
        return {CopyStatus::SourceRefused, 0};
    }
    const struct timespec readAt = CoarseNow();
    std::string bytes;
    const CopyResult read = ReadSteady(in, info, bytes, options);
    if (!read.Ok()) return read;
    if (!options.accept(bytes)) return {CopyStatus::SourceRefused, 0};
    struct stat copy {};
    bool looked = true;
    if (options.inPlace) {
        if (!OverwriteWith(target, bytes, info, options, copy)) return TargetFailure();
    } else {
        if (!WriteBeside(target, bytes, info, options)) return TargetFailure();
        // A rename moves the change time: the copy is looked at in its place.
        looked = options.made != nullptr && options.staged == nullptr &&
                 ::lstat(target.c_str(), &copy) == 0;
    }
    Record(info, readAt, looked ? &copy : nullptr, options.made);
    return {};
}

}  // namespace

bool WouldWaitToSettle(const struct stat& source, const CopyOptions& options) {
    long long wait = 0;
    return ChangedJustNow(source.st_ctim, Now(options), wait) && wait > 0;
}

CopyResult CopyFile(const std::string& source, const std::string& target,
                    const CopyOptions& options) {
    // Most downloads have not changed since the generation that a backup overwrites.
    if (options.accept && options.inPlace && options.known != nullptr &&
        StillAsRecordedAt(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), *options.known)) {
        if (options.made != nullptr) *options.made = *options.known;
        return {};
    }
    struct stat info {};
    Fd in(OpenRegular(source, O_RDONLY, 0, info));
    if (!in.ok()) return SourceFailure();
    if (options.accept) return CopyJudged(in.get(), info, target, options);
    if (options.inPlace) return CopyInPlace(in.get(), info, target, options);
    bool readFailed = false;
    const bool copied = CopyBeside(
        target,
        [&](int out) {
            if (!CopyAllBytes(in.get(), out, &readFailed, options.write)) return false;
            KeepMode(out, info);
            KeepTimes(out, info);
            return true;
        },
        options);
    if (copied) return {};
    return readFailed ? SourceFailure() : TargetFailure();
}

CopyResult CopyTree(const std::string& source, const std::string& target,
                    const CopyOptions& options) {
    // Judged copies take regular files only, which the open and its fstat tell by themselves:
    // no look at the path first. Their sources come from a listing of regular files, so only a
    // name replaced in between could open something else.
    if (options.accept) return CopyFile(source, target, options);
    struct stat info {};
    if (::stat(source.c_str(), &info) != 0) return SourceFailure();
    // A device is not even opened: opening some has effects of its own.
    if (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return SourceFailure();
    }
    if (!S_ISDIR(info.st_mode)) return CopyFile(source, target, options);

    if (::mkdir(target.c_str(), info.st_mode & 07777) != 0 &&
        !(errno == EEXIST && IsFolder(target)))
        return TargetFailure();
    std::vector<std::string> names;
    if (!ListFolder(source, names)) return SourceFailure();
    for (const std::string& name : names) {
        const std::string from = JoinPath(source, name);
        struct stat entry {};
        if (::lstat(from.c_str(), &entry) != 0) return SourceFailure();
        // A linked folder is not followed: it could lead back into the tree being copied.
        if (S_ISLNK(entry.st_mode) && IsFolder(from)) {
            errno = ELOOP;
            return SourceFailure();
        }
        const CopyResult copied = CopyTree(from, JoinPath(target, name), options);
        if (!copied.Ok()) return copied;
    }
    return {};
}

}  // namespace hw::files
