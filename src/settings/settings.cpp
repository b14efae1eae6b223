#include "settings/settings.h"

#include <cerrno>

#include "base/amule.h"
#include "base/numbers.h"
#include "base/paths.h"
#include "settings/ini_file.h"
#include "settings/settings_location.h"

namespace hw {

namespace {

const char* const kDirectories = "DIRECTORIES";
const char* const kAutobackup = "AUTOBACKUP";
const char* const kAdditionalFiles = "ADDITIONAL FILES";
const char* const kFileStoring = "FILESTORING";
const char* const kGeneral = "GENERAL SETTINGS";
const char* const kLaunchpad = "LAUNCHPAD";

const char* Switch(bool on) {
    return on ? "TRUE" : "FALSE";
}

}  // namespace

int IntervalMinutes(const std::string& stored) {
    int minutes = kDefaultIntervalMinutes;
    return ParseWholeNumber(stored, minutes) ? minutes : kDefaultIntervalMinutes;
}

StoredSettings ReadStoredSettings(const std::string& path) {
    StoredSettings s;
    std::string text;
    s.read = !path.empty() && ReadSettingsText(path, text);
    if (!s.read) {
        s.readError = path.empty() ? ENOENT : errno;
        return s;
    }
    s.notText = text.find('\0') != std::string::npos;
    auto value = [&text](const char* section, const char* key) -> std::optional<std::string> {
        std::optional<std::string> found = IniFindValue(text, section, key);
        if (found && *found == kMissingSetting) return std::nullopt;
        return found;
    };
    auto on = [&value](const char* section, const char* key) -> std::optional<bool> {
        const std::optional<std::string> found = value(section, key);
        if (!found) return std::nullopt;
        return *found == "TRUE";
    };
    s.tempFolder = value(kDirectories, "TEMPDIR");
    s.backupFolder = value(kDirectories, "BACKUPDIR");
    s.clientFolder = value(kDirectories, "CLIENTDIR");
    s.clientExe = value(kDirectories, "CLIENTEXE");
    s.autobackup = on(kAutobackup, "ENABLED");
    s.interval = value(kAutobackup, "INTERVAL");
    if (const std::optional<std::string> files = value(kAdditionalFiles, "LBSTRING")) {
        s.additionalFiles = SplitFileList(*files);
    }
    if (const std::optional<std::string> method = value(kFileStoring, "METHOD")) {
        s.simpleStoring = *method == "SIMPLE";
    }
    s.startMinimized = on(kGeneral, "START MINIMIZED");
    s.autostart = on(kGeneral, "START WITH WINDOWS");
    s.startClient = on(kGeneral, "START DONKEYCLIENT");
    s.restartClient = on(kGeneral, "RESTART DONKEYCLIENT");
    s.language = value(kGeneral, "LANGUAGE");
    s.launchpadPath = value(kLaunchpad, "PATH");
    s.launchpadStartup = on(kLaunchpad, "STARTUP");
    s.launchpadRestart = on(kLaunchpad, "RESTART");
    return s;
}

bool WriteStoredSettings(const std::string& path, const StoredSettings& s, Autostart* autostart,
                         const files::ByteWrite& write) {
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    // The config folder of an installed copy may not exist before the first save; a failure
    // here shows as the write failure of the first key.
    CreatePrivateFolders(ParentPath(path));
    auto put = [&](const char* section, const char* key, const std::string& value) {
        return IniWriteString(path, section, key, value, write);
    };
    auto text = [](const std::optional<std::string>& value) { return value.value_or(""); };
    auto flag = [](const std::optional<bool>& value) { return Switch(value.value_or(false)); };
    if (!put(kDirectories, "TEMPDIR", text(s.tempFolder)) ||
        !put(kDirectories, "BACKUPDIR", text(s.backupFolder)) ||
        !put(kDirectories, "CLIENTDIR", text(s.clientFolder)) ||
        (s.clientExe && !put(kDirectories, "CLIENTEXE", *s.clientExe)) ||
        !put(kAutobackup, "ENABLED", flag(s.autobackup)) ||
        !put(kAutobackup, "INTERVAL", text(s.interval)) ||
        !put(kAdditionalFiles, "LBSTRING",
             JoinFileList(s.additionalFiles.value_or(std::vector<std::string>{}))) ||
        !put(kFileStoring, "METHOD", s.simpleStoring.value_or(true) ? "SIMPLE" : "SUBFOLDERS") ||
        !put(kGeneral, "START MINIMIZED", flag(s.startMinimized))) {
        return false;
    }
    // The entry is the system's, not the file's: a failure to set it is not the save's.
    if (autostart != nullptr) autostart->SetAutostart(s.autostart.value_or(false));
    return put(kGeneral, "START WITH WINDOWS", flag(s.autostart)) &&
           put(kGeneral, "START DONKEYCLIENT", flag(s.startClient)) &&
           put(kGeneral, "RESTART DONKEYCLIENT", flag(s.restartClient)) &&
           put(kGeneral, "LANGUAGE", text(s.language)) &&
           put(kLaunchpad, "PATH", text(s.launchpadPath)) &&
           put(kLaunchpad, "STARTUP", flag(s.launchpadStartup)) &&
           put(kLaunchpad, "RESTART", flag(s.launchpadRestart));
}

std::string JoinFileList(const std::vector<std::string>& entries) {
    std::string text;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) text += ';';
        text += entries[i];
    }
    return text;
}

std::vector<std::string> SplitFileList(const std::string& text) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) entries.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

FolderPreset AmuleFolderPreset(const std::string& amuleConfigFolder) {
    if (!IsAmuleConfigFolder(amuleConfigFolder)) return {};
    return {AmuleTempFolder(amuleConfigFolder), amuleConfigFolder};
}

}  // namespace hw
