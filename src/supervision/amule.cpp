#include "supervision/amule.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "backup/find_files.h"
#include "base/paths.h"

namespace hw {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string Joined(const std::string& folder, const std::string& name) {
    return AddTrailingSeparator(folder) + name;
}

}  // namespace

bool IsAmuleConfigFolder(const std::string& folder) {
    struct stat info {};
    return LooksLikeAbsolutePath(folder) &&
           ::stat(Joined(folder, "amule.conf").c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string DefaultAmuleConfigFolder() {
    const char* home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? Joined(home, ".aMule") : std::string();
}

std::string AmuleConfigFolderOf(const std::vector<std::string>& arguments) {
    const std::string longForm = "--config-dir";
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasNext = i + 1 < arguments.size();
        if (argument.compare(0, longForm.size() + 1, longForm + "=") == 0) {
            return argument.substr(longForm.size() + 1);
        }
        if ((argument == longForm || argument == "-c") && hasNext) return arguments[i + 1];
        if (argument.size() > 2 && argument.compare(0, 2, "-c") == 0) return argument.substr(2);
    }
    return DefaultAmuleConfigFolder();
}

bool SameFolder(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    if (::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0) {
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    }
    const auto below = PathBelowFolder(a, b);
    return below && below->empty();
}

std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (name.empty() || name.find('/') != std::string::npos || path == nullptr) return {};
    for (const std::string& folder : SplitText(path, ":")) {
        if (IsExecutableFile(Joined(folder, name))) return Joined(folder, name);
    }
    return {};
}

bool HoldsExecutable(const std::string& folder, const std::string& name) {
    return LooksLikeAbsolutePath(folder) && IsExecutableFile(Joined(folder, name));
}

}  // namespace hw
