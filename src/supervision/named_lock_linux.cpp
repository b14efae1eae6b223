#include "supervision/named_lock_linux.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "backup/run_history.h"
#include "base/app_title.h"

namespace hw {

namespace {

// A folder only this user can enter, so nobody else can take or fake our locks.
bool IsPrivateFolder(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

NamedLock::~NamedLock() {
    Unlock();
}

bool NamedLock::TryLock() {
    if (fd_ >= 0) return true;
    const int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    int rc;
    do {
        rc = flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int error = errno;  // EWOULDBLOCK: someone holds it
        close(fd);
        errno = error;
        return false;
    }
    fd_ = fd;
    return true;
}

void NamedLock::Unlock() {
    if (fd_ < 0) return;
    flock(fd_, LOCK_UN);
    close(fd_);
    fd_ = -1;
}

bool NamedLock::SetHolder(const std::string& text) {
    if (fd_ < 0 || ftruncate(fd_, 0) != 0) return false;
    return pwrite(fd_, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

std::string NamedLock::Holder(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return {};
    char buffer[256];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    close(fd);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string NamedLock::InstancePath(const std::string& kind) {
    const std::string folder = RuntimeFolder();
    if (folder.empty()) return {};
    return folder + "/" + kAppTitle + ".OneInstance." + kind;
}

std::string NamedLock::FolderPath(const std::string& name) {
    const std::string folder = RuntimeFolder();
    if (folder.empty()) return {};
    // A path may be longer than a file name: its 64-bit FNV-1a hash names the file.
    std::uint64_t hash = 14695981039346656037ULL;
    for (const unsigned char c : name) hash = (hash ^ c) * 1099511628211ULL;
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, hash);
    return folder + "/Hoardwise.BackupFolder." + text;
}

BackupFolderLock::Result BackupFolderLock::Hold(const std::string& folder,
                                                const std::function<void()>& beforeRelease) {
    Result result;
    const std::string name = BackupFolderName(folder);
    if (name.empty() || (lock_ && name == name_)) {
        result.held = true;
        return result;
    }
    result.path = NamedLock::FolderPath(name);
    auto lock = std::make_unique<NamedLock>(result.path);
    if (result.path.empty()) {
        result.error = ENOENT;
        return result;
    }
    if (!lock->TryLock()) {
        result.error = errno == EWOULDBLOCK ? 0 : errno;
        if (result.error == 0) result.holder = NamedLock::Holder(result.path);
        return result;
    }
    lock->SetHolder(holder_);
    if (lock_ && beforeRelease) beforeRelease();
    lock_ = std::move(lock);
    name_ = name;
    result.held = true;
    return result;
}

std::string NamedLock::RuntimeFolder() {
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg == '/') {
        if (IsPrivateFolder(xdg)) return xdg;
    }
    const std::string uid = std::to_string(getuid());
    const std::string run = "/run/user/" + uid;
    if (IsPrivateFolder(run)) return run;

    const char* tmp = std::getenv("TMPDIR");
    const std::string base = (tmp && *tmp == '/') ? tmp : "/tmp";
    const std::string own = base + "/hoardwise-" + uid;
    if (mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) return {};
    return IsPrivateFolder(own) ? own : std::string();
}

}  // namespace hw
