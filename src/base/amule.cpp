#include "base/amule.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "base/paths.h"

namespace hw {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

bool IsAmuleConfigFolder(const std::string& folder) {
    struct stat info {};
    return LooksLikeAbsolutePath(folder) &&
           ::stat(JoinPath(folder, "amule.conf").c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string DefaultAmuleConfigFolder() {
    const char* home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? JoinPath(home, ".aMule") : std::string();
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
    const std::string folders = path;
    for (std::size_t start = 0; start <= folders.size();) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        // An empty element is the current folder, which a program is never taken from.
        if (end > start && IsExecutableFile(JoinPath(folders.substr(start, end - start), name))) {
            return JoinPath(folders.substr(start, end - start), name);
        }
        start = end + 1;
    }
    return {};
}

std::string AmuleTempFolder(const std::string& config) {
    std::ifstream in(JoinPath(config, "amule.conf"));
    std::string line;
    bool general = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[') general = line == "[eMule]";
        const std::string key = "TempDir=";
        if (general && line.compare(0, key.size(), key) == 0 && line.size() > key.size()) {
            return line.substr(key.size());
        }
    }
    return JoinPath(config, "Temp");
}

bool HoldsExecutable(const std::string& folder, const std::string& name) {
    return LooksLikeAbsolutePath(folder) && IsExecutableFile(JoinPath(folder, name));
}

}  // namespace hw
