#include "base/paths.h"

namespace hw {

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

}  // namespace hw
