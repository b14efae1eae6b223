// The settings file as values: every key the program keeps, read in one go and written key by
// key, and the folders a first start takes over from aMule.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/services.h"
#include "shell/file_copy.h"

namespace hw {

// Every stored value; each is empty (nullopt) where the file lacks the key or holds the word that
// marks a missing one (kMissingSetting). Texts are as stored; a switch is on only for "TRUE".
struct StoredSettings {
    // The file could be read at all; false on a first start (no file yet).
    bool read = false;
    // Why it could not be read, as errno (ENOENT for an empty path); 0 where it was.
    int readError = 0;
    // Read, but no text in the character sets of SettingsTextToUtf8: it holds NUL characters, as
    // a binary file, UTF-32, or UTF-16 without its byte-order mark do. Every byte sequence is
    // Windows-1252, so only a NUL tells that the file was never text of ours.
    bool notText = false;
    std::optional<std::string> tempFolder;
    std::optional<std::string> backupFolder;
    std::optional<std::string> clientFolder;
    // The client's program; "0" stands for none.
    std::optional<std::string> clientExe;
    std::optional<bool> autobackup;
    // The minutes as stored; see IntervalMinutes.
    std::optional<std::string> interval;
    std::optional<std::vector<std::string>> additionalFiles;
    // True for the simple storing, false for subfolders.
    std::optional<bool> simpleStoring;
    std::optional<bool> startMinimized;
    std::optional<bool> autostart;
    std::optional<bool> startClient;
    std::optional<bool> restartClient;
    // "EN", "DE", or whatever the file holds.
    std::optional<std::string> language;
    std::optional<std::string> launchpadPath;
    std::optional<bool> launchpadStartup;
    std::optional<bool> launchpadRestart;
};

// The minutes between automatic backups that are assumed when the stored ones are no number.
inline constexpr int kDefaultIntervalMinutes = 30;
// The minutes between automatic backups that the window's spin field and the command line take.
inline constexpr int kMinIntervalMinutes = 1;
inline constexpr int kMaxIntervalMinutes = 120;

// The stored minutes, or the default where they are no whole number (not held to any range).
int IntervalMinutes(const std::string& stored);

// Every value of the file from one reading of it, so that a file replaced meanwhile cannot mix
// two versions. An empty path or an unreadable file gives no values (`read` false).
StoredSettings ReadStoredSettings(const std::string& path);

// Stores every value, in the order the file has always had them. The missing client program is
// left out; any other missing value is written as empty (a switch as off). The autostart entry,
// where given, is set between the start-minimized key and its own. The config folder is created
// first where missing. Stops at the first key that cannot be written: false, errno set, and the
// keys before it are written.
bool WriteStoredSettings(const std::string& path, const StoredSettings& values,
                         Autostart* autostart, const files::ByteWrite& write = {});

// The list of additional files as the file keeps it: one line, ";" between the entries.
std::string JoinFileList(const std::vector<std::string>& entries);
// Its entries; empty ones are dropped.
std::vector<std::string> SplitFileList(const std::string& text);

// The folders a first start takes from aMule's own configuration folder: its temp folder and the
// configuration folder itself as the client folder. Both empty unless the folder holds aMule's
// configuration.
struct FolderPreset {
    std::string tempFolder;
    std::string clientFolder;
};
FolderPreset AmuleFolderPreset(const std::string& amuleConfigFolder);

}  // namespace hw
