// The settings file: its path, one-key reads and writes, and the loader and saver that copy the
// window's controls into it and back.
#include <algorithm>
#include <cstdlib>

#include "base/amule.h"
#include "base/errors.h"
#include "base/numbers.h"
#include "base/paths.h"
#include "settings/ini_file.h"
#include "settings/settings_location.h"
#include "ui/language.h"
#include "ui/main_form.h"

namespace hw {

namespace {

const char* const kDirectories = "DIRECTORIES";
const char* const kAutobackup = "AUTOBACKUP";
const char* const kAdditionalFiles = "ADDITIONAL FILES";
const char* const kFileStoring = "FILESTORING";
const char* const kGeneral = "GENERAL SETTINGS";
const char* const kLaunchpad = "LAUNCHPAD";

const int kDefaultIntervalMinutes = 30;

bool Present(const std::string& value) {
    return value != kMissingSetting;
}

const char* Switch(bool on) {
    return on ? "TRUE" : "FALSE";
}

}  // namespace

std::string MainForm::SettingsFilePath() const {
    if (!settingsFile.empty()) return settingsFile;
    // The one place that reads the environment: where the user's config folder is.
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    return SettingsLocation(services.executablePath, configHome ? configHome : "",
                            UserHomeFolder(std::getenv("HOME")));
}

std::string MainForm::ReadSetting(const std::string& section, const std::string& key) const {
    const std::string path = SettingsFilePath();
    if (path.empty()) return kMissingSetting;
    return IniReadString(path, section, key);
}

void MainForm::WriteSetting(const std::string& section, const std::string& key,
                            const std::string& value) {
    const std::string path = SettingsFilePath();
    // The form's file operation carries the one seam through which a test fills the disk.
    if (path.empty() || !IniWriteString(path, section, key, value, abfFileOperation1.byteWrite)) {
        throw HandlerError("nach " + path + " kann nicht geschrieben werden");
    }
}

void MainForm::LoadSettings() {
    // One reading serves every key: a file replaced while the loader runs (it may start
    // programs) cannot mix two versions, and the file is not opened once per key.
    const std::string path = SettingsFilePath();
    std::string text;
    const bool readable = !path.empty() && ReadSettingsText(path, text);
    const StoredSetting stored = [&](const char* section, const char* key) -> std::string {
        if (!readable) return kMissingSetting;
        return IniFindValue(text, section, key).value_or(kMissingSetting);
    };
    const std::string language = stored(kGeneral, "LANGUAGE");
    ApplyLanguage(Present(language) ? language : "EN");
    // On a first start (no settings file) with aMule set up, its folders stand ready.
    LoadFolders(stored, !readable);
    LoadAutobackup(stored);
    LoadAdditionalFiles(stored);
    LoadStartup(stored);
}

void MainForm::LoadPath(Edit& edit, const std::string& value, const RememberedPathText& remembered,
                        const std::string& preset) {
    if (Present(value)) {
        edit.setText(value);
    } else if (!preset.empty()) {
        edit.setText(preset);
    } else {
        edit.setText(CurrentLanguageCode() == "EN" ? remembered.en : remembered.de);
    }
}

void MainForm::LoadFolders(const StoredSetting& stored, bool firstStart) {
    const std::string amule = DefaultAmuleConfigFolder();
    const bool amuleReady = firstStart && IsAmuleConfigFolder(amule);
    LoadPath(edit_tempdir, stored(kDirectories, "TEMPDIR"), tempdir_text,
             amuleReady ? AmuleTempFolder(amule) : "");
    LoadPath(edit_backupdir, stored(kDirectories, "BACKUPDIR"), backupdir_text);
    const std::string exe = stored(kDirectories, "CLIENTEXE");
    if (Present(exe) && exe != "0") {
        clientExe = exe;
        Label12.setCaption(LanguageText(*this, TextId::ClientExePrefix) + exe);
    }
    LoadPath(edit_clientdir, stored(kDirectories, "CLIENTDIR"), clientdir_text,
             amuleReady ? amule : "");
    // The preset folder's program was recognised just now: shown at once, as a loaded one is.
    if (amuleReady && !Present(exe) && !clientExe.empty()) {
        Label12.setCaption(LanguageText(*this, TextId::ClientExePrefix) + clientExe);
    }
}

void MainForm::LoadAutobackup(const StoredSetting& stored) {
    const std::string interval = stored(kAutobackup, "INTERVAL");
    if (Present(interval)) {
        int minutes = kDefaultIntervalMinutes;
        if (!ParseWholeNumber(interval, minutes)) minutes = kDefaultIntervalMinutes;
        UpDown1.setPosition(minutes);
        // Held to the spin range so that a stored 0 or a huge number can neither make the
        // schedule fire without pause nor overflow the period.
        timer_autobackup.setInterval(std::clamp(minutes, UpDown1.min(), UpDown1.max()) * 60000);
    }
    const std::string enabled = stored(kAutobackup, "ENABLED");
    if (Present(enabled)) {
        const bool on = enabled == "TRUE";
        timer_autobackup.setRunning(on);
        cb_autobackup.setChecked(on);
        pop_enabledisable.setCaption(
            LanguageText(*this, on ? TextId::MenuDisableAutobackup : TextId::MenuEnableAutobackup));
    }
}

void MainForm::LoadAdditionalFiles(const StoredSetting& stored) {
    const std::string files = stored(kAdditionalFiles, "LBSTRING");
    if (Present(files)) {
        listbox_files.clear();
        for (const std::string& entry : SplitFileList(files)) listbox_files.add(entry);
    }
    const std::string method = stored(kFileStoring, "METHOD");
    if (Present(method)) {
        if (method == "SIMPLE") {
            radio_storing_simple.setChecked(true);
        } else {
            radio_storing_subfolder.setChecked(true);
        }
    }
}

void MainForm::LoadStartup(const StoredSetting& stored) {
    auto loadSwitch = [&](CheckBox& box, const char* section, const char* key) {
        const std::string value = stored(section, key);
        if (Present(value)) box.setChecked(value == "TRUE");
    };
    loadSwitch(cb_startminimized, kGeneral, "START MINIMIZED");
    loadSwitch(cb_boot, kGeneral, "START WITH WINDOWS");
    const std::string startClient = stored(kGeneral, "START DONKEYCLIENT");
    if (Present(startClient)) {
        cb_startclient.setChecked(startClient == "TRUE");
        // aMule refuses a second program on one configuration; it is not even tried.
        const bool amuleRuns =
            IsAmuleConfigFolder(StripTrailingSeparatorKeepRoot(edit_clientdir.text())) &&
            IsClientRunning();
        if (cb_startclient.checked() && !amuleRuns && startProgramsOnLoad) {
            LaunchClient();
            BringMainWindowToFront();
        }
    }
    loadSwitch(cb_watchclient, kGeneral, "RESTART DONKEYCLIENT");
    LoadPath(edit_launchpad_path, stored(kLaunchpad, "PATH"), launchpad_path_text);
    const std::string startApp = stored(kLaunchpad, "STARTUP");
    if (Present(startApp)) {
        cb_lauchpad_startup.setChecked(startApp == "TRUE");
        if (cb_lauchpad_startup.checked() && startProgramsOnLoad) {
            LaunchProgram(edit_launchpad_path.text(), true);
            BringMainWindowToFront();
        }
    }
    loadSwitch(cb_lauchpad_watch, kLaunchpad, "RESTART");
}

void MainForm::SaveSettings() {
    // The config folder of an installed copy may not exist before the first save; a failure
    // here shows as the write failure of the first key.
    const std::string path = SettingsFilePath();
    if (!path.empty()) CreatePrivateFolders(ParentPath(path));
    WriteSetting(kDirectories, "TEMPDIR", edit_tempdir.text());
    WriteSetting(kDirectories, "BACKUPDIR", edit_backupdir.text());
    WriteSetting(kDirectories, "CLIENTDIR", edit_clientdir.text());
    if (!clientExe.empty()) WriteSetting(kDirectories, "CLIENTEXE", clientExe);
    WriteSetting(kAutobackup, "ENABLED", Switch(cb_autobackup.checked()));
    WriteSetting(kAutobackup, "INTERVAL", edit_autobackup.text());
    WriteSetting(kAdditionalFiles, "LBSTRING", JoinFileList());
    WriteSetting(kFileStoring, "METHOD", radio_storing_simple.checked() ? "SIMPLE" : "SUBFOLDERS");
    WriteSetting(kGeneral, "START MINIMIZED", Switch(cb_startminimized.checked()));
    SetAutostart(cb_boot.checked());
    WriteSetting(kGeneral, "START WITH WINDOWS", Switch(cb_boot.checked()));
    WriteSetting(kGeneral, "START DONKEYCLIENT", Switch(cb_startclient.checked()));
    WriteSetting(kGeneral, "RESTART DONKEYCLIENT", Switch(cb_watchclient.checked()));
    const std::string& shown = combo_language.text();
    WriteSetting(kGeneral, "LANGUAGE", (shown == "English" || shown == "Englisch") ? "EN" : "DE");
    WriteSetting(kLaunchpad, "PATH", edit_launchpad_path.text());
    WriteSetting(kLaunchpad, "STARTUP", Switch(cb_lauchpad_startup.checked()));
    WriteSetting(kLaunchpad, "RESTART", Switch(cb_lauchpad_watch.checked()));
}

void MainForm::btn_savesettingsClick() {
    SaveSettings();
    // A failed save raised above; the last-backup line stays readable behind the sign.
    label_lastbackup.setCaption(LanguageText(*this, TextId::SettingsSavedPrefix) +
                                LastBackupText(true));
}

std::string MainForm::JoinFileList() const {
    std::string text;
    for (int i = 0; i < listbox_files.count(); ++i) {
        if (i > 0) text += ';';
        text += listbox_files.item(i);
    }
    return text;
}

std::vector<std::string> MainForm::SplitFileList(const std::string& text) {
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

bool MainForm::SetAutostart(bool on) {
    return services.autostart && services.autostart->SetAutostart(on);
}

}  // namespace hw
