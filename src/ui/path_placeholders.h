// The texts that the path fields show until a path is chosen, and that the settings file keeps for
// a path never chosen: for the window and the command line.
#pragma once

#include <string>

namespace hw {

struct PathPlaceholder {
    const char* en;
    const char* de;
    // "EN" gives English, anything else German.
    const char* in(const std::string& code) const { return code == "EN" ? en : de; }
};

inline constexpr PathPlaceholder kTempFolderPlaceholder{
    "Click Browse to select TEMP-Folder", "Klicke Suchen, um den TEMP-Ordner zu wählen"};
inline constexpr PathPlaceholder kBackupFolderPlaceholder{
    "Click Browse to select BACKUP-Folder", "Klicke Suchen, um den BACKUP-Ordner zu wählen"};
inline constexpr PathPlaceholder kClientFolderPlaceholder{
    "Click Browse to select eDonkey-Client Folder",
    "Klicke Suchen, um den Esel-Client Ordner zu wählen"};
inline constexpr PathPlaceholder kLaunchpadPlaceholder{
    "Click Browse to select an executable", "Klicke Suchen, um eine Anwendung auszuwählen"};

}  // namespace hw
