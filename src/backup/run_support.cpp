#include "backup/run_support.h"

#include <dirent.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "base/paths.h"
#include "shell/file_copy.h"
#include "shell/find_files.h"
#include "shell/folders.h"

namespace hw {

bool IsSafeExtraEntry(const std::string& entry) {
    if (entry.empty() || LooksLikeAbsolutePath(entry)) return false;
    for (const std::string& element : SplitText(entry, "/")) {
        if (element == "..") return false;
    }
    return true;
}

std::vector<std::string> RestoreTargetFolders(const std::string& temp, const std::string& client,
                                              const std::vector<std::string>& entries) {
    std::vector<std::string> folders{temp};
    for (const std::string& subfolder : Subfolders(temp)) folders.push_back(subfolder);
    for (const std::string& folder : ExtraTargetFolders(client, entries)) {
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(folder);
        }
    }
    return folders;
}

std::vector<std::string> ExtraTargetFolders(const std::string& client,
                                            const std::vector<std::string>& entries) {
    std::vector<std::string> folders;
    if (!LooksLikeAbsolutePath(client)) return folders;
    for (const std::string& entry : entries) {
        if (!IsSafeExtraEntry(entry)) continue;
        const std::string folder = ParentPath(JoinPath(client, entry));
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(folder);
        }
    }
    return folders;
}

TempFolderListing ListTempFolder(const std::string& temp, bool subfolders) {
    TempFolderListing listing;
    std::vector<std::string> inner;
    // The names alone are kept: tens of thousands of paths would be the largest thing a run holds.
    files::ForEachEntry(temp, [&](const std::string& name, unsigned char type) {
        if (files::IsOwnTempName(name)) listing.leftovers.push_back(JoinPath(temp, name));
        // A listed regular file needs no look to tell it is no folder.
        if (type != DT_REG && IsFolderEntry(JoinPath(temp, name), type)) inner.push_back(name);
        if (!subfolders && MaskMatches(name, kPartFileMask)) listing.partFiles.push_back(name);
        return true;
    });
    for (const std::string& subfolder : inner) {
        const std::string folder = JoinPath(temp, subfolder);
        files::ForEachEntry(folder, [&](const std::string& name, unsigned char) {
            if (files::IsOwnTempName(name)) listing.leftovers.push_back(JoinPath(folder, name));
            if (subfolders && MaskMatches(name, kPartFileMask)) {
                listing.partFiles.push_back(JoinPath(subfolder, name));
            }
            return true;
        });
    }
    return listing;
}

std::string ExtraEntryShown(const std::string& folder, const std::string& entry) {
    return LooksLikeAbsolutePath(entry) ? entry : JoinPath(folder, entry);
}

std::string LastElement(const std::string& path) {
    return FileName(path);
}

std::string NextToLastElement(const std::string& path) {
    const std::string parent = ParentPath(path);
    return parent == "." || parent == "/" || FileName(path).empty() ? std::string()
                                                                    : FileName(parent);
}

}  // namespace hw
