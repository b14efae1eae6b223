// The main window as a model: every control and component by its name, the program-wide
// values, and the handlers. Handlers are defined in the file of their subsystem.
#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "backup/backup_run.h"
#include "backup/restore_run.h"
#include "backup/run_history.h"
#include "base/services.h"
#include "settings/settings.h"
#include "shell/background_removal.h"
#include "shell/file_operation.h"
#include "ui/controls.h"
#include "ui/messages.h"
#include "ui/run_texts.h"

namespace hw {

class ContentsView;
class Supervisor;
struct SupervisorTools;
struct HistoryView;

// The text a path edit shows in each language: a placeholder until a path is chosen.
struct RememberedPathText {
    std::string en;
    std::string de;
};

class MainForm : public Messages {
  public:
    explicit MainForm(Services services);
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;

    Services services;

    // ---- The window -------------------------------------------------------------------------
    Captioned Caption{"frm_main"};
    TabSheet TabSheet1{"TabSheet1"};
    TabSheet TabSheet2{"TabSheet2"};
    TabSheet TabSheet3{"TabSheet3"};
    TabSheet TabSheet4{"TabSheet4"};
    TabSheet TabSheet5{"TabSheet5"};

    // Directories
    Label Label1{"Label1"};
    Edit edit_tempdir{"edit_tempdir"};
    Button btn_browsetemp{"btn_browsetemp"};
    Label Label2{"Label2"};
    Edit edit_backupdir{"edit_backupdir"};
    Button btn_browsebackup{"btn_browsebackup"};
    Label Label3{"Label3"};
    Edit edit_clientdir{"edit_clientdir"};
    Button btn_browseclientdir{"btn_browseclientdir"};
    Label Label12{"Label12"};

    // Backup Settings
    Label Label9{"Label9"};
    RadioButton radio_storing_simple{"radio_storing_simple"};
    RadioButton radio_storing_subfolder{"radio_storing_subfolder"};
    Label Label6{"Label6"};
    CheckBox cb_autobackup{"cb_autobackup"};
    Edit edit_autobackup{"edit_autobackup"};
    UpDown UpDown1{"UpDown1", edit_autobackup, kMinIntervalMinutes, kMaxIntervalMinutes,
                   kDefaultIntervalMinutes};
    Label Label4{"Label4"};
    Label Label5{"Label5"};
    ListBox listbox_files{"listbox_files"};
    Button btn_lb_add{"btn_lb_add"};
    Button btn_lb_remove{"btn_lb_remove"};
    // When the last backup ran and how it ended, and the history of all runs.
    Label label_lastbackup{"label_lastbackup"};
    Button btn_history{"btn_history"};

    // General Settings
    CheckBox cb_startminimized{"cb_startminimized"};
    CheckBox cb_boot{"cb_boot"};
    CheckBox cb_startclient{"cb_startclient"};
    CheckBox cb_watchclient{"cb_watchclient"};
    Label Label8{"Label8"};
    ComboBox combo_language{"combo_language"};

    // AppRunner
    Label Label11{"Label11"};
    Edit edit_launchpad_path{"edit_launchpad_path"};
    Button btn_browselaunchpad{"btn_browselaunchpad"};
    CheckBox cb_lauchpad_startup{"cb_lauchpad_startup"};
    CheckBox cb_lauchpad_watch{"cb_lauchpad_watch"};

    // About
    Label Label7{"Label7"};
    LinkLabel JDUrlLabel1{"JDUrlLabel1"};
    Label Label10{"Label10"};
    LinkLabel JDUrlLabel2{"JDUrlLabel2"};
    LinkLabel JDUrlLabel3{"JDUrlLabel3"};

    // Command buttons
    Button btn_backup{"btn_backup"};
    Button btn_restore{"btn_restore"};
    Button btn_savesettings{"btn_savesettings"};
    Button btn_minimize{"btn_minimize"};
    Button btn_exit{"btn_exit"};

    // Non-visual components
    FolderBrowse folderBrowse;
    Timer timer_autobackup{"timer_autobackup", 60000, true};
    Timer timer_observer{"timer_observer", 10000, true};
    Timer timer_mini_on_start{"timer_mini_on_start", 10, true};
    TrayIcon abfTrayIcon1{"abfTrayIcon1"};
    MenuItem pop_restore{"pop_restore"};
    MenuItem pop_enabledisable{"pop_enabledisable"};
    MenuItem pop_backup{"pop_backup"};
    MenuItem N1{"N1"};
    MenuItem pop_exit{"pop_exit"};
    OpenDialog OpenDialog1{"OpenDialog1", "", "", false};
    OpenDialog OpenDialog2{"OpenDialog2", "", "", true};
    OpenDialog OpenDialog3{"OpenDialog3", "", "", false};
    TabfFileOperation abfFileOperation1;

    // ---- Program-wide values ----------------------------------------------------------------
    std::string clientExe;

    RememberedPathText tempdir_text;
    RememberedPathText backupdir_text;
    RememberedPathText clientdir_text;
    RememberedPathText launchpad_path_text;

    // ---- Application shell (ui/lifecycle.cpp) -----------------------------------------------
    void FormCreate();
    // Set by the window program, which shows its window before the load looks at processes:
    // FormCreate then leaves the client's recognition and the starts of the client and the
    // AppRunner program (and the start-up timer) to FormShown, which every event runs first.
    bool processLookAfterShow = false;
    void FormShown();
    void FormClose(bool& allowClose);
    void btn_exitClick();
    // Every event from the front end enters here; an escaping error goes to the error report.
    void Dispatch(const Handler& event);
    // The general error report.
    void ReportError(const std::string& text);

    // ---- Notification area (ui/tray.cpp) ------------------------------------------------------
    // Also the path of every other minimise of the window (its frame's button, a shortcut).
    void btn_minimizeClick();
    // A click or double click on the icon, and its menu's "Restore".
    void abfTrayIcon1Click();
    // First tick of the start-up timer: the settings file (not the check box) decides whether
    // the program starts in the notification area; the timer then goes for good.
    void timer_mini_on_startTimer();

    // ---- Texts (ui/language.cpp) --------------------------------------------------------------
    std::string CurrentLanguageCode() const;
    void ApplyLanguage(const std::string& code);
    // Told the language code after every switch, so that the view can follow with its own texts.
    std::function<void(const std::string& code)> onLanguageApplied;
    void ApplyEnglishTexts();
    void ApplyGermanTexts();
    void combo_languageChange();

    // ---- Settings (ui/settings_form.cpp) -------------------------------------------------------
    // A settings file named by the caller (the command line's --settings); empty: the one that
    // the location rule finds for the executable.
    std::string settingsFile;
    // False where the settings are read only to back up, restore or report: the loader then
    // starts neither the client nor the AppRunner program.
    bool startProgramsOnLoad = true;
    std::string SettingsFilePath() const;
    std::string ReadSetting(const std::string& section, const std::string& key) const;
    void WriteSetting(const std::string& section, const std::string& key, const std::string& value);
    void LoadSettings();
    void SaveSettings();
    void btn_savesettingsClick();
    std::string JoinFileList() const;
    static std::vector<std::string> SplitFileList(const std::string& text);
    bool SetAutostart(bool on);

    // ---- Processes (ui/program_start_form.cpp) --------------------------------------------------
    bool IsProcessRunning(const std::string& exeName);
    void LaunchProgram(const std::string& commandLine, bool reportFailure,
                       const std::vector<std::string>& arguments = {});
    void BringMainWindowToFront();
    // The client runs: a process of `clientExe`, or for an aMule configuration folder either of
    // aMule's programs on that configuration (or one of our user's whose configuration cannot be
    // told). `blocker`, where given, then names that aMule process for the user.
    bool IsClientRunning(std::string* blocker = nullptr);
    // The aMule program ("amule" or "amuled") that runs on this configuration folder, its process
    // in `found`; with `doubtCounts` also one of our user's whose folder cannot be told. Empty
    // when none does.
    std::string AmuleRunningOn(const std::string& folder, bool doubtCounts,
                               ProcessInfo* found = nullptr);
    // Starts the client from the client folder, or aMule from PATH on its configuration folder.
    void LaunchClient();

    // ---- Observer and AppRunner (ui/observer_form.cpp) -----------------------------------------
    void timer_observerTimer();
    void cb_lauchpad_startupClick();
    void btn_browselaunchpadClick();
    void edit_launchpad_pathChange();
    // A box ticked anew by the user: the program's quick ends so far no longer count, and one
    // held back after them is tried at once.
    void cb_watchclientClick();
    void cb_startclientClick();
    void cb_lauchpad_watchClick();
    // A program we started has ended (its end watch is readable): restarted at once, through
    // the same guard as the tick's restarts.
    void StartedProgramEnded();
    // True while a program of ours has ended and the system has not yet reaped it: the front end
    // calls StartedProgramEnded again shortly, as the restart waits for that.
    bool ReapPending() const;
    // The descriptors of the end watches for the front end's event loop, and a call after every
    // change of them (the old ones may be closed by then).
    std::vector<int> EndWatchDescriptors() const;
    std::function<void()> onEndWatchesChanged;
    // Told once, as one line, when a watched program is held back after quick ends; unset: the
    // tray icon shows it as a notice (once the icon is shown).
    std::function<void(const std::string& line)> onRestartsHeld;

    // ---- Auto-backup schedule (ui/schedule.cpp) ------------------------------------------------
    void cb_autobackupClick();
    void pop_enabledisableClick();
    void timer_autobackupTimer();
    void ApplyAutobackupInterval(int minutes);
    void RefreshStatusText();
    void edit_autobackupExit();
    void UpDown1Changing(bool& allowChange, int newPosition);
    void SyncAutobackupInterval();

    // ---- Backup engine (backup/) ---------------------------------------------------------------
    // Skipped: nothing to do (client not running, no part file, a run under way).
    // Failed: runFailure() then holds what the manual run shows. Started: handed to the
    // worker (services.worker); its end is told when the run ends.
    enum class RunOutcome { Skipped, Succeeded, Failed, Started };
    RunOutcome BackupPartFiles(bool automatic);
    // True from the start of a run on the worker until its end has been told; Backup and
    // Restore are disabled meanwhile.
    bool RunUnderWay() const { return runUnderWay_; }
    // Told as a run on the worker starts and as it ends.
    std::function<void()> onRunStateChanged;
    // How the last backup or restore that ran or was refused ended (see ui/run_texts.h).
    using RunEnd = hw::RunEnd;
    RunEnd lastRunEnd() const { return runEnd_; }
    // Told every run as the history records it, as one line in the current language; once also
    // that the history is not a regular file, after an automatic run.
    std::function<void(const std::string& line)> onRunRecorded;
    // From B, or from B_old (`older`) when the user chose the older generation; with `only`, just
    // the part files at those places (RestoreRequest::only).
    // `fromOlder`: with `only`, places restored from B_old in the same run (RestoreRequest::
    // onlyFromOlder).
    void RestorePartFiles(bool older = false, std::vector<std::string> only = {},
                          std::vector<std::string> fromOlder = {});
    const std::string& runFailure() const { return runFailure_; }
    // The history of runs (see backup/run_history.h); empty: the user's state folder.
    std::string historyFile;
    std::string HistoryFilePath() const;
    // The clock of the history and of the last-backup line; tests put in their own.
    std::function<std::time_t()> now = [] { return std::time(nullptr); };
    // Reads the last backup of the backup folder from the history, for a window that has just
    // started; `whenFolderChanged`: only when the backup folder is another than the line's.
    void LoadLastBackup(bool whenFolderChanged = false);
    // Reserves the backup folder for this program's runs until it is asked for another one (the
    // front end's lock, see supervision/named_lock_linux.h): empty when reserved, else who holds
    // it instead, in words. Unset: every folder counts as reserved.
    std::function<std::string(const std::string& folder)> reserveBackupFolder;
    // Why a run may not use the backup folder now, for the user; empty when it is reserved.
    std::string ReserveBackupFolder(const std::string& backup);
    void btn_historyClick();
    // Shows the runs of the history in the window (set by the front end); unset, the button
    // shows nothing: the file is never handed to another program unasked.
    std::function<void(HistoryView&)> showHistory;
    void pop_backupClick();
    // The last-backup line in the current language; `brief` for the page, where the heading
    // says what it is about.
    std::string LastBackupText(bool brief = false) const;
    // Waits before damaged part files are read again, since the client may be rewriting them:
    // one second when empty. Tests put in their own, so that they never sleep.
    std::function<void()> pauseBeforeRereading;
    void btn_backupClick();
    void btn_restoreClick();
    // What the temp folder and both generations hold, download by download (ui/contents_view.h),
    // shown by the front end (modal) until it is closed; the button sits on the Backup Settings
    // page.
    Button btn_contents{"btn_contents"};
    void btn_contentsClick();
    std::function<void(ContentsView& view)> showContents;
    // Restores only the part files at `places` (DownloadRow::place), from B or from B_old for
    // `older`, after asking; with every guarantee of the full restore. `leftOut` of the chosen
    // have no copy there and are named in the question; `fromOlder` come from B_old in the same
    // run. Nothing at all for no place.
    void RestoreChosen(const std::vector<std::string>& places, bool older, std::size_t leftOut = 0,
                       const std::vector<std::string>& fromOlder = {});
    // The restore once its source is chosen: refused while the client runs.
    void RestoreWhenClientStopped(bool older, std::vector<std::string> only = {},
                                  std::vector<std::string> fromOlder = {});
    // True while a manual backup or restore runs (it may wait in a message box whose loop still
    // delivers timer ticks); a scheduled backup is held back meanwhile.
    bool ManualRunActive() const { return manualRunDepth_ > 0; }
    // Returns once the generation thrown away by the last backup is removed from the disk.
    void FinishBackgroundWork() { discardRemoval_.Wait(); }

    // ---- Directory fields (ui/directory_fields.cpp) --------------------------------------------
    void btn_browsetempClick();
    void btn_browsebackupClick();
    void btn_browseclientdirClick();
    void edit_tempdirChange();
    void edit_backupdirChange();
    // First step of every path edit's change handler: shows a placeholder in the current
    // language and remembers an absolute path for both languages.
    void SyncRememberedPathText(Edit& edit, RememberedPathText& remembered);

    // ---- Additional files (ui/additional_files.cpp) --------------------------------------------
    void btn_lb_addClick();
    void btn_lb_removeClick();
    // The path's part below the client folder, or "INVALID_DIR" when it lies elsewhere.
    std::string RelativeToClientDir(const std::string& path) const;

    // ---- Client recognition (ui/client_form.cpp) -----------------------------------------------
    void edit_clientdirChange();
    // The question of a folder without a client, held back while the user types the folder.
    void edit_clientdirExit();
    void AskClientExe();

  private:
    void MinimizeIntoNotificationArea();
    void ShowMessage(const std::string& text, const std::string& caption);
    // While set, ShowMessage keeps its texts here instead of opening boxes: a run started from
    // the tray with the window hidden tells its result as one notice.
    // Each as its text and its caption.
    std::vector<std::pair<std::string, std::string>>* heldMessages_ = nullptr;

    int manualRunDepth_ = 0;
    bool applyingInterval_ = false;
    bool clientQuestionPending_ = false;
    std::string runFailure_;
    RunEnd runEnd_ = RunEnd::None;
    // Shows why a run may not start, and marks it refused.
    void RefuseRun(const std::string& text);
    // A failed automatic backup was announced; no further notice until one succeeds.
    bool automaticFailureNoticed_ = false;
    // Shows a failure of a backup run (in manual mode, or when alwaysShown) and keeps its text.
    void RunFailed(bool automatic, const std::string& text, bool alwaysShown = false);
    // A run on the worker: its number (a progress posted after its end is dropped), and whether
    // one is under way.
    bool runUnderWay_ = false;
    unsigned runSerial_ = 0;
    // The fields a backup and a restore read, once, as the run starts.
    RunInputs ReadRunInputs() const;
    void BeginRunUnderWay();
    void EndRunUnderWay();
    // Hands a run to the worker, under way until `done` (on the window's thread) has run;
    // `progress` is set to what shows the run's progress.
    void StartOnWorker(bool restore, RunProgress& progress, std::function<void()> work,
                       std::function<void()> done);
    // Shows part files done of all in the last-backup line and the tray, where a run on the
    // worker takes longer than a second.
    RunProgress ProgressShown(bool restore);
    void ShowRunProgress(unsigned serial, bool restore, std::size_t done, std::size_t all);
    // A backup's end: its messages, its outcome, its place in the history.
    RunOutcome BackupEnded(bool automatic, const BackupReport& report);
    void RestoreEnded(const RestoreReport& report);
    // The tray's notice of a failed automatic run, once until one succeeds.
    void AutomaticRunEnded(RunOutcome outcome);
    // Runs `end` with its messages held, then tells them as one notice of the tray icon, or in
    // boxes where the icon cannot show one: a run started from the tray's menu behind the icon.
    void TellAsOneNotice(const std::function<void()>& end);
    // Appends a run to the history; a backup also becomes the last-backup line.
    void RecordRun(bool restore, bool automatic, bool succeeded, const std::string& message);
    // Of the run under way: its backup folder as the run read it (a field changed meanwhile is
    // the next run's), part files copied or restored, damaged ones.
    std::string runFolder_;
    std::size_t runFiles_ = 0;
    std::size_t runDamaged_ = 0;
    // The backup folder's last successful backup run, and its newest one.
    BackupRuns lastBackups_;
    // The temp folder of the run under way, as the run read it.
    std::string runTemp_;
    // When the schedule's countdown last (re)started, and the timer's count of starts then.
    std::time_t countdownFrom_ = 0;
    unsigned countdownSeen_ = 0;
    bool countdownKnown_ = false;
    // When the schedule backs up next; 0 while it does not run.
    std::time_t NextAutomaticBackup() const;
    // The backup folder (a BackupFolderName) whose last run the line tells.
    std::string lastBackupFolder_;
    // The user was told that the history is not a regular file.
    bool historyWarned_ = false;
    // True when a client is known that automatic backups can wait for.
    bool ClientKnown() const;
    void RefreshStatusText(int minutes);
    // LoadSettings' steps, one group of keys each, in the order the keys are read, all from the
    // one reading of the file.
    void LoadFolders(const StoredSettings& stored);
    void LoadAutobackup(const StoredSettings& stored);
    void LoadAdditionalFiles(const StoredSettings& stored);
    void LoadStartup(const StoredSettings& stored);
    // A path field gets the stored value, else `preset`, else its placeholder.
    void LoadPath(Edit& edit, const std::optional<std::string>& value,
                  const RememberedPathText& remembered, const std::string& preset = "");
    // The load's steps that FormShown runs; queued only while the window is not yet shown.
    void AfterShow(const Handler& step);
    std::vector<Handler> afterShow_;
    bool holdingProcessLook_ = false;
    BackgroundRemoval discardRemoval_;
    // The watched programs' restarts (supervision/observer.h), made at first use.
    std::shared_ptr<Supervisor> supervision_;
    Supervisor& supervision();
    // The services, the clock and the window's calls that the supervisor's steps use.
    SupervisorTools SupervisionTools();
    void TellRestartsHeld();
    void EndWatchesChanged();
    friend class ManualRunScope;
};

}  // namespace hw
