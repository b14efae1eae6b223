#include "settings/settings_location.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/paths.h"

namespace hw {

namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

}  // namespace

std::string SettingsFileBesideExecutable(const std::string& executablePath) {
    if (executablePath.empty()) return {};
    const auto slash = executablePath.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = executablePath.rfind('.');
    // A dot in a folder name, or one that only starts a hidden name, is no extension.
    if (dot == std::string::npos || dot <= nameStart) return executablePath + ".INI";
    return executablePath.substr(0, dot) + ".INI";
}

bool FolderRefusesWrites(const std::string& folder) {
    // The system's program folders hold installed copies, whose settings are the user's own even
    // for root, who may write anywhere.
    for (const char* system : {"/usr", "/bin", "/sbin"}) {
        const std::string top = system;
        if (folder == top || folder.rfind(top + "/", 0) == 0) return true;
    }
    if (access(folder.c_str(), W_OK) == 0) return false;
    // Only a real refusal marks an installed copy; a folder that is missing or no folder at all
    // keeps the classic place, whose save then reports the file it could not write.
    return errno == EACCES || errno == EROFS || errno == EPERM;
}

std::string SettingsLocation(const std::string& executablePath, const std::string& xdgConfigHome,
                             const std::string& home,
                             const std::function<bool(const std::string& folder)>& refusesWrites) {
    const std::string beside = SettingsFileBesideExecutable(executablePath);
    if (beside.empty() || Exists(beside) || !refusesWrites(ParentPath(beside))) return beside;
    std::string configHome;
    if (LooksLikeAbsolutePath(xdgConfigHome)) {
        configHome = xdgConfigHome;
    } else if (LooksLikeAbsolutePath(home)) {
        configHome = AddTrailingSeparator(home) + ".config";
    } else {
        return beside;
    }
    return AddTrailingSeparator(configHome) + "hoardwise/hoardwise.INI";
}

std::string SettingsFileFor(const std::string& executablePath) {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    return SettingsLocation(executablePath, configHome ? configHome : "",
                            UserHomeFolder(std::getenv("HOME")));
}

std::string UserHomeFolder(const char* homeVariable) {
    if (homeVariable && LooksLikeAbsolutePath(homeVariable)) return homeVariable;
    const passwd* user = getpwuid(getuid());
    if (user && user->pw_dir && LooksLikeAbsolutePath(user->pw_dir)) return user->pw_dir;
    return {};
}

bool CreatePrivateFolders(const std::string& folder) {
    if (folder.empty()) {
        errno = ENOENT;
        return false;
    }
    std::size_t end = 0;
    do {
        end = folder.find('/', end + 1);
        const std::string part = folder.substr(0, end);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    } while (end != std::string::npos);
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) return false;
    if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

}  // namespace hw
