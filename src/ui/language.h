// Texts that handlers pick at the moment they show them, in the language the selector shows.
#pragma once

#include <string>

namespace hw {

class MainForm;

enum class TextId {
    FolderDialogTemp,       // caption of the folder dialog for the TEMP folder
    FolderDialogBackup,     // ... for the BACKUP folder
    FolderDialogClient,     // ... for the client folder
    MenuDisableAutobackup,  // pop_enabledisable while auto-backup is on
    MenuEnableAutobackup,   // pop_enabledisable while auto-backup is off
    ClientExePrefix,        // Label12, directly followed by the executable's file name
    TrayHintOnPrefix,       // tray hint while auto-backup is on, before the minutes
    TrayHintOnSuffix,       // ... after the minutes
    TrayHintOff,            // tray hint while auto-backup is off
    AutobackupFailedStart,  // notice of a failed automatic backup, before what failed
    AutobackupFailedEnd,    // ... after it
};

// The text for the language that form.CurrentLanguageCode() gives.
std::string LanguageText(const MainForm& form, TextId id);

// The same for an explicit language code: "EN" gives English, anything else German.
std::string LanguageText(const std::string& code, TextId id);

}  // namespace hw
