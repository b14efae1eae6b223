#include "backup/folder_safety.h"

#include <filesystem>

#include "backup/find_files.h"

namespace fs = std::filesystem;

namespace hw {

namespace {

std::vector<std::string> RealElements(const std::string& text) {
    std::error_code error;
    fs::path real = fs::weakly_canonical(fs::absolute(text, error), error);
    // A prefix that cannot be resolved (no permission, a loop) is compared by its text.
    if (error) real = fs::absolute(text, error).lexically_normal();
    return SplitText(real.string(), "/");
}

}  // namespace

bool IsSameOrAbove(const std::string& upper, const std::string& lower) {
    const auto up = RealElements(upper);
    const auto low = RealElements(lower);
    if (up.size() > low.size()) return false;
    for (std::size_t i = 0; i < up.size(); ++i) {
        if (up[i] != low[i]) return false;
    }
    return true;
}

bool AnyOverlaps(const std::vector<std::string>& moved, const std::vector<std::string>& guarded) {
    for (const std::string& folder : guarded) {
        if (folder.empty()) continue;
        for (const std::string& candidate : moved) {
            if (IsSameOrAbove(candidate, folder)) return true;
        }
    }
    return false;
}

}  // namespace hw
