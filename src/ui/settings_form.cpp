// The settings file and the window: the loader and saver that copy the stored values into the
// controls and back, and one-key reads and writes.
#include <algorithm>

#include "base/amule.h"
#include "base/errors.h"
#include "base/paths.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "settings/settings_location.h"
#include "supervision/client_choice.h"
#include "ui/language.h"
#include "ui/main_form.h"

namespace hw {

std::string MainForm::SettingsFilePath() const {
    if (!settingsFile.empty()) return settingsFile;
    return SettingsFileFor(services.executablePath);
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
    const StoredSettings stored = ReadStoredSettings(SettingsFilePath());
    ApplyLanguage(stored.language.value_or("EN"));
    // On a first start (no settings file) with aMule set up, its folders stand ready.
    LoadFolders(stored);
    LoadAutobackup(stored);
    LoadAdditionalFiles(stored);
    LoadStartup(stored);
}

void MainForm::LoadPath(Edit& edit, const std::optional<std::string>& value,
                        const RememberedPathText& remembered, const std::string& preset) {
    if (value) {
        edit.setText(*value);
    } else if (!preset.empty()) {
        edit.setText(preset);
    } else {
        edit.setText(CurrentLanguageCode() == "EN" ? remembered.en : remembered.de);
    }
}

void MainForm::LoadFolders(const StoredSettings& stored) {
    const FolderPreset preset =
        stored.read ? FolderPreset{} : AmuleFolderPreset(DefaultAmuleConfigFolder());
    LoadPath(edit_tempdir, stored.tempFolder, tempdir_text, preset.tempFolder);
    LoadPath(edit_backupdir, stored.backupFolder, backupdir_text);
    const std::optional<std::string>& exe = stored.clientExe;
    if (exe && *exe != "0") {
        clientExe = *exe;
        Label12.setCaption(LanguageText(*this, TextId::ClientExePrefix) + *exe);
    }
    LoadPath(edit_clientdir, stored.clientFolder, clientdir_text, preset.clientFolder);
    // The preset folder's program is recognised by the field: shown then, as a loaded one is.
    if (!preset.clientFolder.empty() && !exe) {
        AfterShow([this] {
            if (!clientExe.empty()) {
                Label12.setCaption(LanguageText(*this, TextId::ClientExePrefix) + clientExe);
            }
        });
    }
}

void MainForm::LoadAutobackup(const StoredSettings& stored) {
    if (stored.interval) {
        const int minutes = IntervalMinutes(*stored.interval);
        UpDown1.setPosition(minutes);
        // Held to the spin range so that a stored 0 or a huge number can neither make the
        // schedule fire without pause nor overflow the period.
        timer_autobackup.setInterval(std::clamp(minutes, UpDown1.min(), UpDown1.max()) * 60000);
    }
    if (stored.autobackup) {
        const bool on = *stored.autobackup;
        timer_autobackup.setRunning(on);
        cb_autobackup.setChecked(on);
        pop_enabledisable.setCaption(
            LanguageText(*this, on ? TextId::MenuDisableAutobackup : TextId::MenuEnableAutobackup));
    }
}

void MainForm::LoadAdditionalFiles(const StoredSettings& stored) {
    if (stored.additionalFiles) {
        listbox_files.clear();
        for (const std::string& entry : *stored.additionalFiles) listbox_files.add(entry);
    }
    if (stored.simpleStoring) {
        if (*stored.simpleStoring) {
            radio_storing_simple.setChecked(true);
        } else {
            radio_storing_subfolder.setChecked(true);
        }
    }
}

void MainForm::LoadStartup(const StoredSettings& stored) {
    auto loadSwitch = [](CheckBox& box, const std::optional<bool>& value) {
        if (value) box.setChecked(*value);
    };
    loadSwitch(cb_startminimized, stored.startMinimized);
    loadSwitch(cb_boot, stored.autostart);
    if (stored.startClient) {
        cb_startclient.setChecked(*stored.startClient);
        // Whether the client runs already is a look at the processes, and a start takes its
        // time: both wait until the window shows, after the client's recognition.
        if (cb_startclient.checked() && startProgramsOnLoad) {
            AfterShow([this] {
                if (!ClientStartsWithProgram(*services.processes, edit_clientdir.text(),
                                             clientExe)) {
                    return;
                }
                LaunchClient();
                BringMainWindowToFront();
            });
        }
    }
    loadSwitch(cb_watchclient, stored.restartClient);
    LoadPath(edit_launchpad_path, stored.launchpadPath, launchpad_path_text);
    if (stored.launchpadStartup) {
        cb_lauchpad_startup.setChecked(*stored.launchpadStartup);
        if (cb_lauchpad_startup.checked() && startProgramsOnLoad) {
            AfterShow([this] {
                LaunchProgram(edit_launchpad_path.text(), true);
                BringMainWindowToFront();
            });
        }
    }
    loadSwitch(cb_lauchpad_watch, stored.launchpadRestart);
}

void MainForm::SaveSettings() {
    StoredSettings values;
    values.tempFolder = edit_tempdir.text();
    values.backupFolder = edit_backupdir.text();
    values.clientFolder = edit_clientdir.text();
    if (!clientExe.empty()) values.clientExe = clientExe;
    values.autobackup = cb_autobackup.checked();
    values.interval = edit_autobackup.text();
    values.additionalFiles = listbox_files.items();
    values.simpleStoring = radio_storing_simple.checked();
    values.startMinimized = cb_startminimized.checked();
    values.autostart = cb_boot.checked();
    values.startClient = cb_startclient.checked();
    values.restartClient = cb_watchclient.checked();
    const std::string& shown = combo_language.text();
    values.language = (shown == "English" || shown == "Englisch") ? "EN" : "DE";
    values.launchpadPath = edit_launchpad_path.text();
    values.launchpadStartup = cb_lauchpad_startup.checked();
    values.launchpadRestart = cb_lauchpad_watch.checked();
    const std::string path = SettingsFilePath();
    // The form's file operation carries the one seam through which a test fills the disk.
    if (!WriteStoredSettings(path, values, services.autostart, abfFileOperation1.byteWrite)) {
        throw HandlerError("nach " + path + " kann nicht geschrieben werden");
    }
}

void MainForm::btn_savesettingsClick() {
    SaveSettings();
    // A failed save raised above; the last-backup line stays readable behind the sign.
    label_lastbackup.setCaption(LanguageText(*this, TextId::SettingsSavedPrefix) +
                                LastBackupText(true));
}

std::string MainForm::JoinFileList() const {
    return hw::JoinFileList(listbox_files.items());
}

std::vector<std::string> MainForm::SplitFileList(const std::string& text) {
    return hw::SplitFileList(text);
}

bool MainForm::SetAutostart(bool on) {
    return services.autostart && services.autostart->SetAutostart(on);
}

}  // namespace hw
