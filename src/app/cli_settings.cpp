#include "app/cli_settings.h"

#include <algorithm>
#include <optional>

#include "app/console_services.h"
#include "base/amule.h"
#include "supervision/client_choice.h"
#include "ui/language.h"
#include "ui/path_placeholders.h"

namespace hw {

namespace {

// A path as its field shows it once loaded: the stored one (a German placeholder in English where
// English is chosen), else the preset, else the placeholder.
std::string ShownPath(const std::optional<std::string>& stored, const std::string& preset,
                      const PathPlaceholder& placeholder, const std::string& language) {
    if (stored) return language == "EN" && *stored == placeholder.de ? placeholder.en : *stored;
    return preset.empty() ? placeholder.in(language) : preset;
}

}  // namespace

int CliSettings::minutes() const {
    return std::clamp(IntervalMinutes(*values.interval), kMinIntervalMinutes, kMaxIntervalMinutes);
}

std::string CliSettings::FileLine() const {
    return path + (saved ? "" : LanguageText(language, TextId::SettingsNotSaved));
}

CliSettings LoadCliSettings(const std::string& path, const StoredSettings& stored,
                            ProcessTable& processes, Console& console) {
    CliSettings s;
    s.path = path;
    s.saved = stored.read;
    s.language = stored.language.value_or("EN") == "EN" ? "EN" : "DE";
    FillMessages(s.messages, s.language);
    StoredSettings& v = s.values;
    v = stored;
    v.language = s.language;
    // On a first start with aMule set up, its folders stand ready.
    const FolderPreset preset =
        stored.read ? FolderPreset{} : AmuleFolderPreset(DefaultAmuleConfigFolder());
    v.tempFolder =
        ShownPath(stored.tempFolder, preset.tempFolder, kTempFolderPlaceholder, s.language);
    v.backupFolder = ShownPath(stored.backupFolder, "", kBackupFolderPlaceholder, s.language);
    v.launchpadPath = ShownPath(stored.launchpadPath, "", kLaunchpadPlaceholder, s.language);
    if (v.clientExe == "0") v.clientExe.reset();  // "0" stands for none
    SetClientFolder(
        s,
        ShownPath(stored.clientFolder, preset.clientFolder, kClientFolderPlaceholder, s.language),
        processes, console);
    v.interval = std::to_string(
        stored.interval ? s.minutes() : kDefaultIntervalMinutes);  // as the spin field holds it
    v.autobackup = stored.autobackup.value_or(false);
    v.additionalFiles = stored.additionalFiles.value_or(std::vector<std::string>{});
    v.simpleStoring = stored.simpleStoring.value_or(true);
    for (std::optional<bool>* box : {&v.startMinimized, &v.autostart, &v.startClient,
                                     &v.restartClient, &v.launchpadStartup, &v.launchpadRestart}) {
        *box = box->value_or(false);
    }
    return s;
}

void SetClientFolder(CliSettings& settings, const std::string& folder, ProcessTable& processes,
                     Console& console) {
    settings.values.clientFolder = folder;
    // The command line starts no window, so the client it starts needs no display either.
    const ClientRecognition found = RecognizeClient(processes, folder, settings.clientExe(), false);
    settings.values.clientExe = found.exe.empty() ? std::nullopt : std::optional(found.exe);
    if (found.unknown) console.Tell(Severity::Warning, settings.messages.msg_no_client_exe);
}

}  // namespace hw
