#include "settings/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "base/paths.h"

namespace hw {

namespace {

ReplaceFault& Fault() {
    static ReplaceFault fault;
    return fault;
}

// False (with errno set) when the test seam fails this step.
bool StepAllowed(ReplaceStep step, const std::string& target) {
    if (!Fault()) return true;
    const int error = Fault()(step, target);
    if (error == 0) return true;
    errno = error;
    return false;
}

// Follows symbolic links to the file that really holds the content; that file need not exist.
bool ResolveLinks(const std::string& path, std::string& target) {
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(target.c_str(), &info) != 0) return errno == ENOENT;
        if (!S_ISLNK(info.st_mode)) return true;
        std::vector<char> buffer(PATH_MAX);
        const ssize_t length = readlink(target.c_str(), buffer.data(), buffer.size());
        if (length < 0) return false;
        if (static_cast<size_t>(length) >= buffer.size()) {
            errno = ENAMETOOLONG;
            return false;
        }
        const std::string link(buffer.data(), length);
        target = link.front() == '/' ? link : ParentPath(target) + "/" + link;
    }
    errno = ELOOP;
    return false;
}

bool WriteAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Opens a new, not yet existing file beside the target. O_EXCL keeps a leftover of a killed
// writer (or another copy's file) from being reused.
int CreateTemporary(const std::string& target, std::string& tempPath) {
    const std::string stem =
        ParentPath(target) + "/." + FileName(target) + ".tmp-" + std::to_string(getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = stem + std::to_string(attempt);
        const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    // The new file is already in place; a folder that cannot be synced (some file systems
    // refuse) does not make the write a failure.
    fsync(fd);
    close(fd);
}

// Sets errno for a file that is not read: EISDIR for a folder, EINVAL for anything else.
bool NotARegularFile(const struct stat& info) {
    errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return false;
}

}  // namespace

void SetReplaceFaultForTesting(ReplaceFault fault) {
    Fault() = std::move(fault);
}

bool ReplaceFileContent(const std::string& path, const std::string& content) {
    std::string target;
    if (!ResolveLinks(path, target)) return false;

    struct stat old {};
    const bool hadFile = stat(target.c_str(), &old) == 0;
    // The rename needs only the folder to be writable; a file the user made read-only must
    // still refuse the new content, as an in-place write would.
    if (hadFile && faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return false;

    std::string tempPath;
    if (!StepAllowed(ReplaceStep::Create, target)) return false;
    const int fd = CreateTemporary(target, tempPath);
    if (fd < 0) return false;

    auto fail = [&](bool stillOpen) {
        const int error = errno;
        if (stillOpen) close(fd);
        unlink(tempPath.c_str());
        errno = error;
        return false;
    };

    if (hadFile) {
        // Owner first: changing it may clear set-id bits, which the mode then restores.
        if (fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Only the superuser may give a file away; the bits below still apply.
        }
        if (fchmod(fd, old.st_mode & 07777) != 0) return fail(true);
    }
    if (!StepAllowed(ReplaceStep::Write, target) || !WriteAll(fd, content)) return fail(true);
    if (!StepAllowed(ReplaceStep::Sync, target) || fsync(fd) != 0) return fail(true);
    if (close(fd) != 0) return fail(false);
    if (!StepAllowed(ReplaceStep::Rename, target) || rename(tempPath.c_str(), target.c_str()) != 0)
        return fail(false);
    SyncFolder(ParentPath(target));
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& content) {
    // A named pipe or a device would block the open or never end; only a regular file is read.
    // The first look avoids opening such a file at all, the second one is the one that counts.
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return false;
    if (!S_ISREG(info.st_mode)) return NotARegularFile(info);
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    auto fail = [fd] {
        const int error = errno;
        close(fd);
        errno = error;
        return false;
    };
    if (fstat(fd, &info) != 0) return fail();
    if (!S_ISREG(info.st_mode)) {
        NotARegularFile(info);
        return fail();
    }
    content.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail();
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return true;
}

}  // namespace hw
