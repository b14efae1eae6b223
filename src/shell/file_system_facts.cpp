#include "shell/file_system_facts.h"

#include <linux/magic.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstdint>

#include "shell/descriptor.h"

namespace hw::files {

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool HasNoFreeInodes(const std::string& path) {
    struct statvfs info {};
    return ::statvfs(path.c_str(), &info) == 0 && info.f_files != 0 && info.f_favail == 0;
}

bool KeepsRealChangeTimes(const std::string& path) {
    struct statfs info {};
    if (::statfs(path.c_str(), &info) != 0) return false;
    // Disk file systems that keep a change time of their own for every inode.
    static const std::uint32_t kKnown[] = {EXT4_SUPER_MAGIC, XFS_SUPER_MAGIC,  BTRFS_SUPER_MAGIC,
                                           TMPFS_MAGIC,      F2FS_SUPER_MAGIC, 0x2fc12fc1 /* zfs */,
                                           0xca451a4e /* bcachefs */};
    for (const std::uint32_t type : kKnown) {
        if (static_cast<std::uint32_t>(info.f_type) == type) return true;
    }
    return false;
}

int OpenRegular(const std::string& path, int flags, mode_t mode, struct stat& info) {
    const int fd = ::open(path.c_str(), flags | kOpenFlags, mode);
    if (fd < 0) return -1;
    Descriptor guard(fd);
    if (::fstat(fd, &info) != 0) return -1;
    if (!S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    return guard.release();
}

}  // namespace hw::files
