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

namespace {

// The non-empty element that ends before `end`, and where it begins; found from the back, as
// every part file of a backup asks for its name.
std::string ElementBefore(const std::string& path, std::size_t& end) {
    while (end > 0 && path[end - 1] == '/') --end;
    const std::size_t slash = end == 0 ? std::string::npos : path.rfind('/', end - 1);
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    std::string element = path.substr(start, end - start);
    end = start;
    return element;
}

}  // namespace

std::string LastElement(const std::string& path) {
    std::size_t end = path.size();
    return ElementBefore(path, end);
}

std::string NextToLastElement(const std::string& path) {
    std::size_t end = path.size();
    if (ElementBefore(path, end).empty()) return {};
    return ElementBefore(path, end);
}

}  // namespace hw
