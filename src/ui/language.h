// Texts that handlers pick at the moment they show them, in the language the selector shows.
#pragma once

#include <string>

namespace hw {

class MainForm;

enum class TextId {
    FolderDialogTemp,       // caption of the folder dialog for the TEMP folder
    FolderDialogBackup,     // ... for the BACKUP folder
    FolderDialogClient,     // ... for the client folder
    BrowseTempName,         // a screen reader's name of the TEMP folder's Browse button
    BrowseBackupName,       // ... of the BACKUP folder's
    BrowseClientName,       // ... of the client folder's
    BrowseLaunchpadName,    // ... of the one of the program to launch
    MenuDisableAutobackup,  // pop_enabledisable while auto-backup is on
    MenuEnableAutobackup,   // pop_enabledisable while auto-backup is off
    ClientExePrefix,        // Label12, directly followed by the executable's file name
    SettingsSavedPrefix,    // status line after Save Settings, before the last-backup line
    TrayHintOnPrefix,       // tray hint while auto-backup is on, before the minutes
    TrayHintOnSuffix,       // ... after the minutes
    TrayHintOff,            // tray hint while auto-backup is off
    AutobackupFailedStart,  // notice of a failed automatic backup, before what failed
    AutobackupFailedEnd,    // ... after it
    TrayHintWaiting,        // tray hint while auto-backup is on but no client is known
    LastBackupPrefix,       // label_lastbackup and the tray hint's second line, before the run
    LastBackupNone,         // ... when no backup has run yet
    LastBackupBrief,        // label_lastbackup beside its heading, before the run
    PartFilesSuffix,        // after a number of part files
    RunSucceeded,           // a run's outcome
    RunFailedPrefix,        // ... before the short reason
    NewestBackupPrefix,     // the restore question: the newest generation, before its time
    OlderBackupPrefix,      // ... the older one
    NoNewestBackup,         // ... when there is no newest generation
    NewestHoldsFewer,       // ... when the newest holds fewer part files than the older one
    RestoreOlderButton,     // ... its button of its own that restores the older generation
    RunLineBackup,          // a run told as one line: a backup
    RunLineRestore,         // ... a restore
    RunLineAutomatic,       // ... after either, for an automatic run
    DamagedSuffix,          // after a number of damaged part files
    HistoryNotAFile,        // the history is a pipe, link, ...: before its path
    // The command line
    RunsAlready,        // another copy holds the instance lock, before which one
    HolderWindow,       // ... the window
    HolderProcess,      // ... after the holder, before its process id
    TempNotSet,         // the temp folder is a placeholder
    BackupNotSet,       // the backup folder is a placeholder
    RestoreNeedsYes,    // a restore without --yes, after what it would restore
    BackupFolderInUse,  // a run that may not use the backup folder now, before the folder
    FolderLockNotMade,  // ... as its lock file cannot be made, before that file
    StatusSettings,     // the status report's and the config command's label of the settings
    SettingsNotSaved,   // ... after the file, when there is none yet
    FolderNotFullPath,  // the config command's folder that is no full path, before its option
    StatusTemp,         // the status report's labels
    StatusBackup,
    StatusClientFolder,
    StatusClient,
    StatusAutobackup,
    NotSet,         // a folder that is a placeholder
    NoClient,       // no client known
    ClientRunning,  // after the client's name
    ClientNotRunning,
    GenerationMissing,    // a generation without part files
    DamagedCopiesSuffix,  // after a number of damaged backup copies
    AutobackupEvery,      // before the minutes
    MinutesSuffix,        // after them
    AutobackupOff,
    ProgramStarted,       // a program the observer started, before its command line
    ProgramNotStarted,    // ... that could not be started
    ProcessNumberPrefix,  // a process that keeps a restore off, after its program's name
    ProcessUserPrefix,    // ... after its process id, before its user's name
    // A watched program held back after quick ends, in lines: the program, how it last ended,
    // for aMule its lock's holder and its log, when it is tried again.
    RestartsHeldPrefix,      // before the program
    RestartsHeldCode,        // before the exit code
    RestartsHeldSignal,      // before the signal's number
    RestartsHeldLockPrefix,  // before aMule's lock file
    RestartsHeldLockMiddle,  // after it, before the process id
    RestartsHeldLockSuffix,  // after the process id
    RestartsHeldLog,         // before aMule's log file
    RestartsHeldRetry,
    RunStartedPrefix,  // the command line's run begins, before the autobackup setting
    RunEndedPrefix,    // ... ends, before the signal's name
    BackupUnderWay,    // a run on the worker, in the last-backup line: before the part files done
    RestoreUnderWay,
    ProgressOf,  // between the part files done and all of them
};

// The text for the language that form.CurrentLanguageCode() gives.
std::string LanguageText(const MainForm& form, TextId id);

// The same for an explicit language code: "EN" gives English, anything else German.
std::string LanguageText(const std::string& code, TextId id);

}  // namespace hw
