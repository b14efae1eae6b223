#include "backup/folder_safety.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <vector>

#include "backup/run_support.h"
#include "shell/file_copy.h"
#include "shell/find_files.h"
#include "shell/folders.h"

namespace fs = std::filesystem;

namespace hw {

namespace {

struct FolderId {
    dev_t device;
    ino_t inode;
    bool operator==(const FolderId& other) const {
        return device == other.device && inode == other.inode;
    }
};

// A path as it lies on the disk: the identity of the root and of every existing folder down
// the path (ids[k] is the folder reached after k elements), and every element, the existing
// ones spelt as their parent lists them, the missing rest as written.
struct Located {
    std::vector<FolderId> ids;
    std::vector<std::string> elements;
};

// The names each folder lists, by the folder's path, for one comparison: the folders it locates
// share their ancestors, and each is listed once.
using Listings = std::map<std::string, std::vector<std::string>>;

// The name under which the parent lists an element that exists. A case-insensitive file
// system finds "EMULE" when it lists "Emule"; the listed name is the one that stays the same
// whatever the spelling used.
std::string SpeltAsListed(const std::string& parent, const std::string& name, Listings& listings) {
    auto listing = listings.find(parent);
    if (listing == listings.end()) {
        std::vector<std::string> names;
        files::ForEachEntry(parent, [&](const std::string& listed, unsigned char) {
            names.push_back(listed);
            return true;
        });
        listing = listings.emplace(parent, std::move(names)).first;
    }
    std::string found;
    for (const std::string& listed : listing->second) {
        if (listed == name) return listed;
        if (found.empty() && SameLetters(listed, name)) found = listed;
    }
    return found.empty() ? name : found;
}

Located Locate(const std::string& text, Listings& listings) {
    std::error_code error;
    fs::path real = fs::weakly_canonical(fs::absolute(text, error), error);
    // A prefix that cannot be resolved (no permission, a loop) is taken by its text.
    if (error) real = fs::absolute(text, error).lexically_normal();
    Located out;
    struct stat info {};
    if (::stat("/", &info) == 0) out.ids.push_back({info.st_dev, info.st_ino});
    std::string prefix = "/";
    bool existing = !out.ids.empty();
    for (const std::string& element : SplitText(real.string(), "/")) {
        const std::string path = JoinPath(prefix, element);
        if (existing && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            out.elements.push_back(SpeltAsListed(prefix, element, listings));
            out.ids.push_back({info.st_dev, info.st_ino});
            prefix = path;
        } else {
            existing = false;
            out.elements.push_back(element);
        }
    }
    return out;
}

// True when `part` equals the elements of `whole` from `from` on, as far as `part` goes.
bool StartsWith(const std::vector<std::string>& whole, std::size_t from,
                const std::vector<std::string>& part) {
    if (whole.size() < from || whole.size() - from < part.size()) return false;
    for (std::size_t i = 0; i < part.size(); ++i) {
        if (whole[from + i] != part[i]) return false;
    }
    return true;
}

bool LocatedSameOrAbove(const Located& up, const Located& low) {
    if (!up.ids.empty()) {
        // The deepest existing folder of `upper` lies on the way to `lower`, and the part of
        // `upper` that does not exist yet follows the same way by name.
        const std::size_t existing = up.ids.size() - 1;
        const std::vector<std::string> rest(up.elements.begin() + existing, up.elements.end());
        for (std::size_t k = 0; k < low.ids.size(); ++k) {
            if (low.ids[k] == up.ids.back() && StartsWith(low.elements, k, rest)) return true;
        }
    }
    // Some file systems (FUSE ones among them) number a folder anew for each spelling of its
    // name; the spelling that the folders list is the same for all of them.
    return StartsWith(low.elements, 0, up.elements);
}

}  // namespace

bool IsSameOrAbove(const std::string& upper, const std::string& lower) {
    Listings listings;
    return LocatedSameOrAbove(Locate(upper, listings), Locate(lower, listings));
}

bool AnyOverlaps(const std::vector<std::string>& moved, const std::vector<std::string>& guarded) {
    Listings listings;
    std::vector<Located> candidates;
    for (const std::string& candidate : moved) candidates.push_back(Locate(candidate, listings));
    for (const std::string& folder : guarded) {
        if (folder.empty()) continue;
        const Located low = Locate(folder, listings);
        for (const Located& up : candidates) {
            if (LocatedSameOrAbove(up, low)) return true;
        }
    }
    return false;
}

bool IsMountPoint(const std::string& folder) {
    struct statx info {};
    if (::statx(AT_FDCWD, folder.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_TYPE | STATX_INO, &info) == 0) {
        if (!S_ISDIR(info.stx_mode)) return false;
        if (info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) {
            return (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
        }
    } else if (errno != ENOSYS) {
        return false;
    }
    // Kernels that cannot tell: a folder on another device than its parent, or the root. A
    // bind mount from the same file system is not seen this way.
    struct stat self {};
    struct stat parent {};
    if (::lstat(folder.c_str(), &self) != 0 || !S_ISDIR(self.st_mode)) return false;
    if (::stat(JoinPath(folder, "..").c_str(), &parent) != 0) return false;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

namespace {

// The path is only made where the listing does not tell the type: a generation lists thousands.
bool IsFolderEntry(const std::string& folder, const std::string& name, unsigned char type) {
    if (type != DT_UNKNOWN) return type == DT_DIR;
    struct stat entry {};
    return ::lstat(JoinPath(folder, name).c_str(), &entry) == 0 && S_ISDIR(entry.st_mode);
}

// True when the folder is the root of a mount or lies on another device than `device`: what lies
// there belongs to another file system, never to a generation.
bool IsOtherFileSystem(const std::string& folder, dev_t device) {
    struct stat info {};
    return ::lstat(folder.c_str(), &info) != 0 || info.st_dev != device || IsMountPoint(folder);
}

// The copies of additional files: regular files in folders of the same file system, nothing
// else (no link, no device, no mount).
bool HoldsOnlyCopies(const std::string& folder, dev_t device) {
    if (IsOtherFileSystem(folder, device)) return false;
    bool only = true;
    const bool listed = files::ForEachEntry(folder, [&](const std::string& name, unsigned char) {
        const std::string path = JoinPath(folder, name);
        struct stat info {};
        only = ::lstat(path.c_str(), &info) == 0 &&
               (S_ISREG(info.st_mode) || (S_ISDIR(info.st_mode) && HoldsOnlyCopies(path, device)));
        return only;
    });
    return listed && only;
}

}  // namespace

bool HoldsForeignEntries(const std::string& folder, const std::string& marker,
                         const SeenEntry& seen) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) return errno != ENOENT && errno != ENOTDIR;
    if (!S_ISDIR(info.st_mode)) return true;

    const std::string backupMask = std::string("*") + kBackupSuffix;
    // A temporary file of a copy cut short is the program's own, wherever it lies.
    auto isBackupFile = [&](const std::string& in, const std::string& name, unsigned char type) {
        return (MaskMatches(name, backupMask) || files::IsOwnTempName(name)) &&
               !IsFolderEntry(in, name, type);
    };
    bool foreign = false;
    const bool listed =
        files::ForEachEntry(folder, [&](const std::string& name, unsigned char type) {
            if (seen) seen("", name, type);
            if (isBackupFile(folder, name, type)) return true;
            const bool isFolder = IsFolderEntry(folder, name, type);
            if ((name == marker || name == kOwnMark || name == kRecordName) && !isFolder)
                return true;
            const std::string path = JoinPath(folder, name);
            if (isFolder && name == kExtrasFolder && HoldsOnlyCopies(path, info.st_dev))
                return true;
            if (isFolder && name != kExtrasFolder && !IsOtherFileSystem(path, info.st_dev)) {
                bool onlyBackups = true;
                const bool inner =
                    files::ForEachEntry(path, [&](const std::string& innerName, unsigned char t) {
                        if (seen) seen(name, innerName, t);
                        onlyBackups = isBackupFile(path, innerName, t);
                        return onlyBackups;
                    });
                if (inner && onlyBackups) return true;
            }
            foreign = true;
            return false;
        });
    return foreign || !listed;
}

bool IsForeignHiddenFolder(const std::string& folder, FolderListing* listing) {
    if (listing != nullptr) *listing = {};
    struct stat info {};
    struct stat parent {};
    if (::lstat(folder.c_str(), &info) != 0) return errno != ENOENT;
    if (!S_ISDIR(info.st_mode) || ::stat(ParentPath(folder).c_str(), &parent) != 0 ||
        IsOtherFileSystem(folder, parent.st_dev)) {
        return true;
    }
    if (!files::Exists(JoinPath(folder, kOwnMark))) {
        // A run killed right after making the folder leaves it empty, before its mark.
        bool empty = true;
        const bool listed = files::ForEachEntry(
            folder, [&](const std::string&, unsigned char) { return empty = false; });
        return !listed || !empty;
    }
    FolderListing found;
    SeenEntry seen;
    if (listing != nullptr) {
        seen = [&found](const std::string& subfolder, const std::string& name, unsigned char type) {
            if (subfolder.empty()) found.Add(name, type);
        };
    }
    if (HoldsForeignEntries(folder, kNewestMark, seen)) return true;
    if (listing != nullptr) {
        // Identity and time from before the listing: a change while it ran shows as a later time.
        found.taken = true;
        found.device = info.st_dev;
        found.inode = info.st_ino;
        found.modified = info.st_mtim;
        *listing = std::move(found);
    }
    return false;
}

void FolderListing::Add(const std::string& name, unsigned char type) {
    names += name;
    names += '\0';
    types.push_back(type);
}

void FolderListing::ForEach(
    const std::function<void(const std::string& name, unsigned char type)>& visit) const {
    std::string name;
    std::size_t from = 0;
    for (const unsigned char type : types) {
        const std::size_t end = names.find('\0', from);
        name.assign(names, from, end - from);
        visit(name, type);
        from = end + 1;
    }
}

bool StillAsListed(const std::string& folder, const FolderListing& listing) {
    struct stat info {};
    return listing.taken && ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_dev == listing.device && info.st_ino == listing.inode &&
           info.st_mtim.tv_sec == listing.modified.tv_sec &&
           info.st_mtim.tv_nsec == listing.modified.tv_nsec;
}

namespace {

// The user's name, or "#" and the number where the user has none (as sudo -u takes it).
std::string UserName(uid_t user) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
        return found->pw_name;
    }
    return "#" + std::to_string(user);
}

}  // namespace

RunRefusal OwnerRefusal(const std::vector<std::string>& paths, const std::string& settingsFile) {
    const uid_t me = ::geteuid();
    struct stat info {};
    if (me == 0 && !settingsFile.empty() && ::stat(settingsFile.c_str(), &info) == 0 &&
        info.st_uid != me) {
        return {RefusalKind::OtherOwner, settingsFile, UserName(info.st_uid), true};
    }
    for (const std::string& path : paths) {
        if (::lstat(path.c_str(), &info) == 0 && info.st_uid != me) {
            return {RefusalKind::OtherOwner, path, UserName(info.st_uid), false};
        }
    }
    return {};
}

}  // namespace hw
