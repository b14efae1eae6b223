// Folder listing by name mask, path splitting and the text test used for folder containment.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace hw {

// True when `name` matches `mask`: "*" stands for any run of characters, letters match without
// regard to case.
bool MaskMatches(const std::string& name, const std::string& mask);
// True when both texts are equal but for the case of their letters.
bool SameLetters(const std::string& a, const std::string& b);
// Appends folder + "/" + name for every entry of the folder (file or folder alike) whose name
// matches the mask, in the order the listing yields them. True when at least one matched.
bool FindFiles(const std::string& folder, const std::string& mask, std::vector<std::string>& list);
// True when FindFiles would list anything; the listing stops at the first match.
bool AnyMatches(const std::string& folder, const std::string& mask);
// How many entries FindFiles would list, without making their paths.
std::size_t CountFiles(const std::string& folder, const std::string& mask);
// True for a listed entry that is a folder or a link to one.
bool IsFolderEntry(const std::string& path, unsigned char type);
// Every immediate subfolder (a link to a folder counts), as folder + "/" + name.
std::vector<std::string> Subfolders(const std::string& folder);
// FindFiles in every immediate subfolder of the folder. True when any of them found an entry.
bool FindFilesInSubfolders(const std::string& folder, const std::string& mask,
                           std::vector<std::string>& list);
// The non-empty pieces of the text between separators, left to right.
std::vector<std::string> SplitText(const std::string& text, const std::string& separator);
// True when part occurs in text, letter case counting; an empty part occurs in every text.
bool TextContains(const std::string& text, const std::string& part);

}  // namespace hw
