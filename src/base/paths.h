// Folder texts are joined to names with one "/" and used without a trailing one.
#pragma once

#include <string>

namespace hw {

// The text with one "/" appended unless it already ends in one; "" gives "/".
std::string AddTrailingSeparator(const std::string& text);
// The text without its last character when that is a "/"; only one is removed.
std::string StripTrailingSeparator(const std::string& text);
// True for a text that begins with "/".
bool LooksLikeAbsolutePath(const std::string& text);

}  // namespace hw
