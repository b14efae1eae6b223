#include "backup/run_support.h"

#include <vector>

#include "backup/find_files.h"
#include "base/paths.h"

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

std::string LastElement(const std::string& path) {
    const auto pieces = SplitText(path, "/");
    return pieces.empty() ? std::string() : pieces.back();
}

std::string NextToLastElement(const std::string& path) {
    const auto pieces = SplitText(path, "/");
    return pieces.size() < 2 ? std::string() : pieces[pieces.size() - 2];
}

}  // namespace hw
