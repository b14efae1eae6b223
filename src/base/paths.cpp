#include "base/paths.h"

#include <vector>

namespace hw {

namespace {

// The elements of an absolute path with "." dropped and ".." taking back one (none above "/").
std::vector<std::string> TidyElements(const std::string& path) {
    std::vector<std::string> elements;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string element = path.substr(start, end - start);
        if (element == "..") {
            if (!elements.empty()) elements.pop_back();
        } else if (!element.empty() && element != ".") {
            elements.push_back(element);
        }
        start = end + 1;
    }
    return elements;
}

}  // namespace

std::string AddTrailingSeparator(const std::string& text) {
    if (!text.empty() && text.back() == '/') return text;
    return text + "/";
}

std::string StripTrailingSeparator(const std::string& text) {
    if (!text.empty() && text.back() == '/') return text.substr(0, text.size() - 1);
    return text;
}

bool LooksLikeAbsolutePath(const std::string& text) {
    return !text.empty() && text.front() == '/';
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string TrimTrailingSeparators(const std::string& text) {
    std::string trimmed = text;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    return trimmed;
}

std::string ParentPath(const std::string& path) {
    const std::string trimmed = TrimTrailingSeparators(path);
    const auto slash = trimmed.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return trimmed.substr(0, slash);
}

std::string FileName(const std::string& path) {
    const std::string trimmed = TrimTrailingSeparators(path);
    const auto slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string StripTrailingSeparatorKeepRoot(const std::string& text) {
    return text == "/" ? text : StripTrailingSeparator(text);
}

std::optional<std::string> PathBelowFolder(const std::string& path, const std::string& folder) {
    if (!LooksLikeAbsolutePath(path) || !LooksLikeAbsolutePath(folder)) return std::nullopt;
    const std::vector<std::string> inner = TidyElements(path);
    const std::vector<std::string> outer = TidyElements(folder);
    if (inner.size() < outer.size()) return std::nullopt;
    for (std::size_t i = 0; i < outer.size(); ++i) {
        if (inner[i] != outer[i]) return std::nullopt;
    }
    std::string below;
    for (std::size_t i = outer.size(); i < inner.size(); ++i) {
        if (!below.empty()) below += '/';
        below += inner[i];
    }
    return below;
}

}  // namespace hw
