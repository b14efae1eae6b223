#include "shell/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <map>
#include <random>
#include <set>

#include "base/paths.h"
#include "shell/descriptor.h"
#include "shell/file_copy.h"
#include "shell/file_system_facts.h"
#include "shell/folders.h"

namespace hw::files {

namespace {

using Fd = Descriptor;

// Temporary files are this text followed by six letters or digits.
const char* const kTempName = ".hws-tmp.";

// Removes a half-written file; the errno of the original failure is kept.
void Discard(const std::string& path) {
    const int saved = errno;
    ::unlink(path.c_str());
    errno = saved;
}

// A temporary name in the target's folder, so that the rename stays in one file system. It is
// short and fixed, so that it fits wherever the target's own name fits, and it matches neither
// "*.part.met" nor "*.HWS", so a leftover is never taken for one. The X's are for CreateUnique.
std::string TempNameBeside(const std::string& target) {
    return JoinPath(ParentPath(target), std::string(kTempName) + "XXXXXX");
}

// Creates a file of its own at `path`, its last six X's replaced by letters and digits, with
// `mode` (less the umask), as mkostemp does with 0600: a copy is then made with its source's
// permissions at once. A descriptor, or -1 with errno set.
int CreateUnique(std::string& path, mode_t mode) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    const std::size_t at = path.size() - 6;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::uint64_t bits = random();
        for (std::size_t i = at; i < path.size(); ++i, bits /= 62) path[i] = kLetters[bits % 62];
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool ListFolder(const std::string& folder, std::vector<std::string>& names) {
    Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.ok() && ListFolderAt(fd.get(), names);
}

}  // namespace

bool WriteNewBeside(const std::string& target, const std::function<bool(int fd)>& fill, bool sync,
                    std::string& written, mode_t mode) {
    written = TempNameBeside(target);
    Fd out(CreateUnique(written, mode));
    if (!out.ok()) return false;
    if (!fill(out.get()) || (sync && ::fsync(out.get()) != 0) || !out.close()) {
        Discard(written);
        return false;
    }
    return true;
}

bool ReplaceFile(const std::string& target, const std::function<bool(int fd)>& fill,
                 const std::function<void()>& beforeRename) {
    std::string written;
    if (!WriteNewBeside(target, fill, true, written)) return false;
    if (beforeRename) beforeRename();
    if (::rename(written.c_str(), target.c_str()) != 0) {
        Discard(written);
        return false;
    }
    SyncFolder(ParentPath(target));
    return true;
}

bool PutStagedInPlace(const std::vector<StagedCopy>& staged, std::string& failedAt,
                      const std::function<void()>& beforeRename) {
    int firstError = 0;
    auto fail = [&](const StagedCopy& copy) {
        if (firstError == 0) {
            firstError = errno != 0 ? errno : EIO;
            failedAt = copy.target;
        }
        Discard(copy.written);
    };
    // One sync of a file system costs about what one fsync does, and makes every copy on it
    // durable; where it fails, each copy is synced by itself.
    // A copy lies on the file system of the folder it was made in; the copies of one folder
    // follow each other, so the folder is looked at once for them.
    std::map<dev_t, bool> synced;
    std::vector<const StagedCopy*> durable;
    std::string folder;
    struct stat info {};
    bool folderFound = false;
    for (const StagedCopy& copy : staged) {
        std::string parent = ParentPath(copy.written);
        if (parent != folder) {
            folder = std::move(parent);
            folderFound = ::stat(folder.c_str(), &info) == 0;
        }
        if (!folderFound) {
            fail(copy);
            continue;
        }
        const auto device = synced.find(info.st_dev);
        const bool fileSystemSynced = device != synced.end()
                                          ? device->second
                                          : (synced[info.st_dev] = SyncFileSystem(copy.written));
        Fd fd(fileSystemSynced ? -1 : ::open(copy.written.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fileSystemSynced && (!fd.ok() || ::fsync(fd.get()) != 0)) {
            fail(copy);
            continue;
        }
        durable.push_back(&copy);
    }
    std::set<std::string> folders;
    std::string lastFolder;
    for (const StagedCopy* copy : durable) {
        if (beforeRename) beforeRename();
        if (::rename(copy->written.c_str(), copy->target.c_str()) != 0) {
            fail(*copy);
            continue;
        }
        std::string parent = ParentPath(copy->target);
        if (parent == lastFolder) continue;
        folders.insert(parent);
        lastFolder = std::move(parent);
    }
    for (const std::string& folder : folders) SyncFolder(folder);
    errno = firstError;
    return firstError == 0;
}

bool MoveTree(const std::string& source, const std::string& target, bool syncFolders) {
    if (::rename(source.c_str(), target.c_str()) == 0) {
        if (!syncFolders) return true;
        SyncFolder(ParentPath(target));
        if (ParentPath(source) != ParentPath(target)) SyncFolder(ParentPath(source));
        return true;
    }
    if (errno != EXDEV) return false;
    const CopyResult copied = CopyTree(source, target, CopyOptions{});
    if (!copied.Ok()) {
        errno = copied.error;
        return false;
    }
    return RemoveTree(source);
}

bool ExchangePaths(const std::string& first, const std::string& second, bool syncFolders) {
    // Called through syscall() so that a C library without the renameat2 wrapper will do.
    if (::syscall(SYS_renameat2, AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(),
                  RENAME_EXCHANGE) != 0) {
        // Some file systems answer ENOTSUP or EOPNOTSUPP; the callers only need "cannot".
        if (errno == ENOTSUP || errno == EOPNOTSUPP) errno = EINVAL;
        return false;
    }
    if (!syncFolders) return true;
    SyncFolder(ParentPath(first));
    if (ParentPath(first) != ParentPath(second)) SyncFolder(ParentPath(second));
    return true;
}

bool CreateEmptyFile(const std::string& path) {
    struct stat info {};
    Fd fd(OpenRegular(path, O_WRONLY | O_CREAT | O_TRUNC, 0644, info));
    return fd.ok() && fd.close();
}

bool IsOwnTempName(const std::string& name) {
    const std::string tail = kTempName;
    const std::size_t unique = 6;  // the letters and digits that CreateUnique puts in
    if (name.size() < tail.size() + unique || name[0] != '.') return false;
    const std::size_t at = name.size() - unique - tail.size();
    if (name.compare(at, tail.size(), tail) != 0) return false;
    for (std::size_t i = name.size() - unique; i < name.size(); ++i) {
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
    }
    return true;
}

bool SyncFileSystem(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return fd.ok() && ::syncfs(fd.get()) == 0;
}

bool SyncTree(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return false;
    if (S_ISDIR(info.st_mode)) {
        std::vector<std::string> names;
        if (!ListFolder(path, names)) return false;
        for (const std::string& name : names) {
            if (!SyncTree(JoinPath(path, name))) return false;
        }
    } else if (!S_ISREG(info.st_mode)) {
        return true;
    }
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return fd.ok() && ::fsync(fd.get()) == 0;
}

bool SyncFolder(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.ok() && ::fsync(fd.get()) == 0;
}

}  // namespace hw::files
