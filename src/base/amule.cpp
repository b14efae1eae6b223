#include "base/amule.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>

#include "base/paths.h"

namespace hw {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The value of aMule's configuration option: "--config-dir X", "-c X", or joined to the option
// as in "--config-dir=X" and "-cX", where aMule's parser also takes "=" or ":" before the value.
// nullopt when the option is not given.
std::optional<std::string> ConfigDirArgument(const std::vector<std::string>& arguments) {
    const std::string longForm = "--config-dir";
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") break;  // what follows are links, not options
        if (argument == longForm || argument == "-c") {
            if (i + 1 < arguments.size()) return arguments[i + 1];
            continue;
        }
        const std::size_t joined = StartsWith(argument, longForm) ? longForm.size()
                                   : StartsWith(argument, "-c")   ? 2
                                                                  : 0;
        if (joined == 0) continue;
        std::string value = argument.substr(joined);
        if (value.front() == '=' || value.front() == ':') {
            value.erase(0, 1);
        } else if (joined == longForm.size()) {
            continue;  // another long option that begins alike
        }
        return value;
    }
    return std::nullopt;
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

std::string AmuleConfigFolderOf(const ProcessInfo& process) {
    if (process.arguments.empty()) return {};
    const std::optional<std::string> given = ConfigDirArgument(process.arguments);
    if (!given) {
        return LooksLikeAbsolutePath(process.home) ? JoinPath(process.home, ".aMule") : "";
    }
    if (given->empty()) return {};
    if (given->front() == '/') return *given;
    return process.workingFolder.empty() ? "" : JoinPath(process.workingFolder, *given);
}

FolderMatch AmuleRunsOn(const ProcessInfo& process, const std::string& folder) {
    const std::string theirs = AmuleConfigFolderOf(process);
    struct stat their {};
    struct stat our {};
    // A folder that cannot be reached may still be ours, seen through another name or mount.
    if (theirs.empty() || ::stat(theirs.c_str(), &their) != 0 ||
        ::stat(folder.c_str(), &our) != 0) {
        return FolderMatch::Unknown;
    }
    return their.st_dev == our.st_dev && their.st_ino == our.st_ino ? FolderMatch::Same
                                                                    : FolderMatch::Other;
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
