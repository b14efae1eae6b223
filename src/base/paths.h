// Folder texts are joined to names with one "/" and used without a trailing one.
#pragma once

#include <optional>
#include <string>

namespace hw {

// The text with one "/" appended unless it already ends in one; "" gives "/".
std::string AddTrailingSeparator(const std::string& text);
// The text without its last character when that is a "/"; only one is removed.
std::string StripTrailingSeparator(const std::string& text);
// True for a text that begins with "/".
bool LooksLikeAbsolutePath(const std::string& text);
// The text without any "/" at its end, except that "/" itself stays.
std::string TrimTrailingSeparators(const std::string& text);
// folder + "/" + name, with a single separator between them.
std::string JoinPath(const std::string& folder, const std::string& name);
// The folder part of a path, trailing separators ignored ("/" for a name in the root, "." for a
// bare name).
std::string ParentPath(const std::string& path);
// The last element of a path, trailing separators ignored.
std::string FileName(const std::string& path);
// StripTrailingSeparator, except that "/" itself stays: the folder a dialog is to open in.
std::string StripTrailingSeparatorKeepRoot(const std::string& text);
// Where path lies below folder, decided by whole path elements after tidying both texts
// (repeated "/", "." and ".." elements): "" for the folder itself, "a/b" for folder/a/b, and
// nothing when path lies elsewhere or either text is not absolute. So /u/emule2/x is not below
// /u/emule, though its text begins with the folder's.
std::optional<std::string> PathBelowFolder(const std::string& path, const std::string& folder);

}  // namespace hw
