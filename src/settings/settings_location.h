// Where the settings file lives: beside the executable, as it always has, unless this user
// cannot keep it there (an installed copy under /usr/bin); then in the user's config folder.
#pragma once

#include <functional>
#include <string>

namespace hw {

// The executable's path with its extension replaced by ".INI" (a name without one gets ".INI"
// appended). Empty for an empty path.
std::string SettingsFileBesideExecutable(const std::string& executablePath);

// True when the folder exists and this user may not create files in it.
bool FolderRefusesWrites(const std::string& folder);

// The settings file for this executable: the one beside it when that file exists or its folder
// does not refuse writes; otherwise $XDG_CONFIG_HOME/hoardwise/hoardwise.INI, where a config
// home that is empty or not a full path counts as unset and means <home>/.config. Beside the
// executable also when neither value gives a full path: the save then names the file it could
// not write. The environment values are passed in (empty when unset) so that the one caller
// is the only place that reads them.
std::string SettingsLocation(
    const std::string& executablePath, const std::string& xdgConfigHome, const std::string& home,
    const std::function<bool(const std::string& folder)>& refusesWrites = FolderRefusesWrites);

// SettingsLocation with the user's config home and home folder from the environment
// (XDG_CONFIG_HOME, HOME): the one place that reads them for it.
std::string SettingsFileFor(const std::string& executablePath);

// The home folder from HOME when it is a full path, else from the password database; empty
// when neither has one.
std::string UserHomeFolder(const char* homeVariable);

// Creates the folder and any missing parents with mode 0700 (private, as config folders are).
// False with errno set when that fails; an existing folder is fine.
bool CreatePrivateFolders(const std::string& folder);

}  // namespace hw
