#include "shell/find_files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>

#include "base/paths.h"
#include "shell/folders.h"

namespace hw {

namespace {

bool SameLetter(char a, char b) {
    return a == b || std::tolower(static_cast<unsigned char>(a)) ==
                         std::tolower(static_cast<unsigned char>(b));
}

}  // namespace

bool SameLetters(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!SameLetter(a[i], b[i])) return false;
    }
    return true;
}

bool MaskMatches(const std::string& name, const std::string& mask) {
    // The masks in use are a star before the end of a name: matched from the end at once, which
    // matters for listings of thousands of names.
    if (!mask.empty() && mask[0] == '*' && mask.find('*', 1) == std::string::npos) {
        const std::size_t tail = mask.size() - 1;
        if (name.size() < tail) return false;
        const std::size_t from = name.size() - tail;
        for (std::size_t i = 0; i < tail; ++i) {
            if (!SameLetter(mask[1 + i], name[from + i])) return false;
        }
        return true;
    }
    // Greedy match with one backtrack point, the last "*" seen.
    std::size_t n = 0, m = 0, starMask = std::string::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && SameLetter(mask[m], name[n])) {
            ++m;
            ++n;
        } else if (starMask != std::string::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

bool FindFiles(const std::string& folder, const std::string& mask, std::vector<std::string>& list) {
    bool found = false;
    files::ForEachEntry(folder, [&](const std::string& name, unsigned char) {
        if (MaskMatches(name, mask)) {
            list.push_back(JoinPath(folder, name));
            found = true;
        }
        return true;
    });
    return found;
}

bool AnyMatches(const std::string& folder, const std::string& mask) {
    bool found = false;
    files::ForEachEntry(folder, [&](const std::string& name, unsigned char) {
        found = MaskMatches(name, mask);
        return !found;
    });
    return found;
}

std::size_t CountFiles(const std::string& folder, const std::string& mask) {
    std::size_t count = 0;
    files::ForEachEntry(folder, [&](const std::string& name, unsigned char) {
        if (MaskMatches(name, mask)) ++count;
        return true;
    });
    return count;
}

bool IsFolderEntry(const std::string& path, unsigned char type) {
    struct stat info {};
    return type == DT_DIR || ((type == DT_UNKNOWN || type == DT_LNK) &&
                              ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
}

std::vector<std::string> Subfolders(const std::string& folder) {
    std::vector<std::string> subfolders;
    files::ForEachEntry(folder, [&](const std::string& name, unsigned char type) {
        const std::string path = JoinPath(folder, name);
        if (IsFolderEntry(path, type)) subfolders.push_back(path);
        return true;
    });
    return subfolders;
}

bool FindFilesInSubfolders(const std::string& folder, const std::string& mask,
                           std::vector<std::string>& list) {
    bool found = false;
    for (const std::string& subfolder : Subfolders(folder)) {
        if (FindFiles(subfolder, mask, list)) found = true;
    }
    return found;
}

std::vector<std::string> SplitText(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    if (separator.empty()) {
        if (!text.empty()) pieces.push_back(text);
        return pieces;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        const std::string piece = text.substr(start, at - start);
        if (!piece.empty()) pieces.push_back(piece);
        if (at == std::string::npos) return pieces;
        start = at + separator.size();
    }
}

bool TextContains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace hw
