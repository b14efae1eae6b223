#include "settings/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "base/paths.h"

namespace hw {

namespace {

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

// Sets errno for a file that is not read: EISDIR for a folder, EINVAL for anything else.
bool NotARegularFile(const struct stat& info) {
    errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return false;
}

// The process's file creation mask. Read from the kernel's status text where it is there:
// setting the mask to read it back would change it for a moment for every thread.
mode_t CurrentUmask() {
    std::string status;
    const std::string key = "\nUmask:";
    if (ReadWholeFile("/proc/self/status", status)) {
        const std::size_t at = status.find(key);
        if (at != std::string::npos) {
            return static_cast<mode_t>(std::strtoul(status.c_str() + at + key.size(), nullptr, 8));
        }
    }
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

}  // namespace

bool ReplaceFileContent(const std::string& path, const std::string& content,
                        const files::ByteWrite& write) {
    std::string target;
    if (!ResolveLinks(path, target)) return false;

    struct stat old {};
    const bool hadFile = stat(target.c_str(), &old) == 0;
    // The rename needs only the folder to be writable; a file the user made read-only must
    // still refuse the new content, as an in-place write would.
    if (hadFile && faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return false;
    // A new file gets the bits that any new file of this user gets.
    const mode_t mode = hadFile ? old.st_mode & 07777 : 0666 & ~CurrentUmask();
    return files::ReplaceFile(target, [&](int fd) {
        // Owner first: changing it may clear set-id bits, which the mode then restores.
        if (hadFile && fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Only the superuser may give a file away; the bits apply all the same.
        }
        if (fchmod(fd, mode) != 0) return false;
        return write ? write(fd, content.data(), content.size())
                     : files::WriteAllBytes(fd, content.data(), content.size());
    });
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
