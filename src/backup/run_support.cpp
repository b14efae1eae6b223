#include "backup/run_support.h"

#include <algorithm>
#include <vector>

#include "backup/find_files.h"
#include "base/paths.h"
#include "shell/file_copy.h"

namespace hw {

std::string RunFolder(const std::string& text) {
    std::string folder = text;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

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
    if (LooksLikeAbsolutePath(client)) {
        for (const std::string& entry : entries) {
            if (!IsSafeExtraEntry(entry)) continue;
            const std::string folder = files::ParentOf(JoinPath(client, entry));
            if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
                folders.push_back(folder);
            }
        }
    }
    return folders;
}

std::string ExtraEntryShown(const std::string& folder, const std::string& entry) {
    return LooksLikeAbsolutePath(entry) ? entry : JoinPath(folder, entry);
}

std::string LastElement(const std::string& path) {
    const auto pieces = SplitText(path, "/");
    return pieces.empty() ? std::string() : pieces.back();
}

std::string NextToLastElement(const std::string& path) {
    const auto pieces = SplitText(path, "/");
    return pieces.size() < 2 ? std::string() : pieces[pieces.size() - 2];
}

}  // namespace hw
