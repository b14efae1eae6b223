#include "shell/folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "base/paths.h"
#include "shell/descriptor.h"
#include "shell/file_copy.h"

namespace hw::files {

namespace {

bool FailedAt(std::string* failedAt, const std::string& path, int code) {
    if (failedAt != nullptr) *failedAt = path;
    errno = code;
    return false;
}

bool RemoveAt(int parent, const std::string& name, dev_t device, const std::string& shown,
              std::string* failedAt, const std::string& last);

// Removes everything in the open folder; the names are read first, so that the listing is not
// disturbed by the removals.
bool RemoveEntries(int folder, dev_t device, const std::string& shown, std::string* failedAt,
                   const std::string& last) {
    std::vector<std::string> names;
    if (!ListFolderAt(folder, names)) return FailedAt(failedAt, shown, errno);
    std::stable_partition(names.begin(), names.end(),
                          [&](const std::string& name) { return name != last; });
    for (const std::string& name : names) {
        if (!RemoveAt(folder, name, device, JoinPath(shown, name), failedAt, last)) return false;
    }
    return true;
}

bool RemoveAt(int parent, const std::string& name, dev_t device, const std::string& shown,
              std::string* failedAt, const std::string& last) {
    struct stat info {};
    if (::fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return FailedAt(failedAt, shown, errno);
    }
    if (!S_ISDIR(info.st_mode)) {
        return ::unlinkat(parent, name.c_str(), 0) == 0 || FailedAt(failedAt, shown, errno);
    }
    if (info.st_dev != device || IsMountRootAt(parent, name.c_str())) {
        return FailedAt(failedAt, shown, EXDEV);
    }
    Descriptor folder(
        ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.ok()) return FailedAt(failedAt, shown, errno);
    // The name may have been replaced (by a mount, say) between the look and the open.
    struct stat opened {};
    if (::fstat(folder.get(), &opened) != 0 || opened.st_dev != info.st_dev ||
        opened.st_ino != info.st_ino) {
        return FailedAt(failedAt, shown, EXDEV);
    }
    if (!RemoveEntries(folder.get(), device, shown, failedAt, last)) return false;
    return ::unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0 || FailedAt(failedAt, shown, errno);
}

}  // namespace

bool ForEachEntryAt(int folder, const EntryVisit& visit) {
    // The listing gets a descriptor of its own: closedir closes it, and the caller's stays.
    const int listing = ::dup(folder);
    DIR* dir = listing < 0 ? nullptr : ::fdopendir(listing);
    if (dir == nullptr) {
        if (listing >= 0) ::close(listing);
        return false;
    }
    // One text for every name: a generation lists thousands, each too long to be kept inline.
    std::string name;
    for (;;) {
        // readdir tells the end from a failure only by errno.
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) break;
        name.assign(entry->d_name);
        if (name == "." || name == "..") continue;
        if (!visit(name, entry->d_type)) {
            errno = 0;
            break;
        }
    }
    const int readError = errno;
    ::closedir(dir);
    errno = readError;
    return readError == 0;
}

bool ForEachEntry(const std::string& path, const EntryVisit& visit) {
    const Descriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder.ok() && ForEachEntryAt(folder.get(), visit);
}

bool ListFolderAt(int folder, std::vector<std::string>& names) {
    return ForEachEntryAt(folder, [&](const std::string& name, unsigned char) {
        names.push_back(name);
        return true;
    });
}

bool IsMountRootAt(int folder, const char* name) {
    struct statx info {};
    if (::statx(folder, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &info) != 0) {
        return false;
    }
    // Kernels that cannot tell leave it to the device comparison of the callers.
    return (info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
           (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}

bool RemoveTree(const std::string& path, std::string* failedAt, const std::string& last) {
    const std::string name = FileName(path);
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        return FailedAt(failedAt, path, EINVAL);
    }
    Descriptor parent(::open(ParentPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    if (!parent.ok() || ::fstat(parent.get(), &info) != 0) return FailedAt(failedAt, path, errno);
    return RemoveAt(parent.get(), name, info.st_dev, path, failedAt, last);
}

bool MakeFolders(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error) {
        errno = error.value();
        return false;
    }
    if (IsFolder(path)) return true;
    errno = ENOTDIR;
    return false;
}

FolderAnchor::~FolderAnchor() {
    Close();
}

bool FolderAnchor::Open(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0) return false;
    if (::fstat(fd, &info) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return false;
    }
    fd_ = fd;
    device_ = info.st_dev;
    inode_ = info.st_ino;
    path_ = path;
    return true;
}

void FolderAnchor::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    made_.clear();
}

bool FolderAnchor::StillThere() const {
    struct stat info {};
    return fd_ >= 0 && ::stat(path_.c_str(), &info) == 0 && info.st_dev == device_ &&
           info.st_ino == inode_;
}

bool FolderAnchor::MakeBelow(const std::string& path) {
    const std::string top = path_ == "/" ? path_ : path_ + "/";
    if (path != path_ && (path.size() <= top.size() || path.compare(0, top.size(), top) != 0)) {
        errno = EXDEV;
        return false;
    }
    if (!StillThere()) {
        errno = ENOENT;
        return false;
    }
    const std::lock_guard<std::mutex> lock(making_);
    std::string relative;
    std::size_t start = std::min(top.size(), path.size());
    while (start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) {
            relative += (relative.empty() ? "" : "/") + path.substr(start, end - start);
            struct stat info {};
            if (::fstatat(fd_, relative.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
                if (!S_ISDIR(info.st_mode)) {
                    errno = ENOTDIR;
                    return false;
                }
            } else if (errno != ENOENT || made_.count(relative) != 0) {
                // A folder made earlier and gone since went with its disk: ENOENT stands.
                return false;
            } else if (::mkdirat(fd_, relative.c_str(), 0777) == 0) {
                made_.insert(relative);
            } else if (errno != EEXIST) {
                return false;
            }
        }
        start = end + 1;
    }
    return true;
}

}  // namespace hw::files
