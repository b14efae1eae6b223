// What the program needs of the desktop and the operating system, as small interfaces. The
// front end and the Linux files implement them; tests use scripted fakes.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/dialog_types.h"

namespace hw {

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // Modal box with the caption, the text and one OK button, no icon.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    // The general error report: like ShowMessage, with the error icon.
    virtual void ShowErrorReport(const std::string& text, const std::string& caption) = 0;
    // Yes/No question with the question icon: title "Bestätigung", buttons "&Ja" and "&Nein",
    // Yes the default, Escape answers No. True only for Yes.
    virtual bool AskYesNo(const std::string& question) = 0;
    // The same box with a third button labelled `extra`, for a choice that must be made on
    // purpose: it is never the default, and Escape or closing the box answers No.
    virtual Choice AskYesNoOr(const std::string& question, const std::string& extra) = 0;
    // A modal file-open dialog starting in initialFolder. Empty when cancelled.
    virtual std::vector<std::string> OpenFiles(const OpenDialog& dialog,
                                               const std::string& initialFolder) = 0;
    // A modal folder chooser. Empty when cancelled or the choice is no file-system folder.
    virtual std::string BrowseFolder(const FolderBrowse& dialog) = 0;
};

// One live process, as far as it can be read: other users' processes hide their working folder
// and environment.
struct ProcessInfo {
    long pid = 0;
    long uid = -1;                       // its real user id; -1 when unknown
    std::string user;                    // that user's name, else the id as text; empty: unknown
    std::vector<std::string> arguments;  // the program's own name first; empty: unreadable
    std::string workingFolder;           // a path that leads to it; empty: unreadable
    // HOME of its environment where that can be read and is absolute, else its user's home
    // folder from the password database; empty when neither is known.
    std::string home;
};

class ProcessTable {
  public:
    virtual ~ProcessTable() = default;
    // True when a live process has this executable file name, ignoring letter case.
    virtual bool IsProcessRunning(const std::string& exeName) = 0;
    // Every live process that IsProcessRunning counts for this name.
    virtual std::vector<ProcessInfo> ProcessesOf(const std::string& exeName) = 0;
};

// A started program whose end an event loop can wait for.
class EndWatch {
  public:
    virtual ~EndWatch() = default;
    // Becomes readable once the program has ended, and stays so.
    virtual int descriptor() const = 0;
    virtual bool Ended() const = 0;
    // How it ended, as a wait status, once the system tells (after its end has been reaped).
    virtual std::optional<int> ExitStatus() const = 0;
    // True once the ended program's process number is free again. Until then aMule's lock takes
    // a new start for a second copy, which quits at once.
    virtual bool Reaped() const { return true; }
};

class ProgramStarter {
  public:
    virtual ~ProgramStarter() = default;
    // Starts the whole command line as one program path, with the given arguments. After a
    // successful start waits up to one second for the program to end. False when it could not be
    // started.
    virtual bool StartProgram(const std::string& commandLine,
                              const std::vector<std::string>& arguments = {}) = 0;
    // The end watch of the last successful start, handed over once; null where the system has
    // none, or for a start that failed.
    virtual std::unique_ptr<EndWatch> TakeEndWatch() { return nullptr; }
};

// The program's own window and the desktop around it.
class WindowService {
  public:
    virtual ~WindowService() = default;
    virtual void BringMainWindowToFront() = 0;
    // True while the desktop has a notification area to put an icon into.
    virtual bool NotificationAreaAvailable() = 0;
    // Hides the window and its taskbar entry.
    virtual void HideApplication() = 0;
    // An ordinary minimise: the window stays reachable from the taskbar.
    virtual void MinimizeApplication() = 0;
    // Shows the window (and its taskbar entry) again and brings it forward.
    virtual void RestoreApplication() = 0;
    // Ends the message loop without closing the window; the program then exits with code 0.
    virtual void Quit() = 0;
    // True while the desktop session is ending (log-out, shut-down) and closes its windows.
    virtual bool SessionEnding() = 0;
    virtual void OpenUrl(const std::string& address) = 0;
    // True when programs started now can open windows on a display the user sees.
    virtual bool HasDisplay() = 0;
};

class Autostart {
  public:
    virtual ~Autostart() = default;
    // Writes (on) or removes (off) the log-in start entry. Never reports; true on success.
    virtual bool SetAutostart(bool on) = 0;
};

// Runs a backup or restore away from the window's thread, so that the window, the tray and the
// observer keep working while a slow disk is written. `work` must not touch the model: it gets
// values and fills a report. Without a worker (the tests, the command line) a run is done where
// it is started.
class RunWorker {
  public:
    virtual ~RunWorker() = default;
    // Runs `work` on a thread of its own, then `done` on the thread of the window's event loop.
    virtual void Start(std::function<void()> work, std::function<void()> done) = 0;
    // Runs `step` on the window's thread, soon; callable from the work's thread.
    virtual void Post(std::function<void()> step) = 0;
};

struct Services {
    Dialogs* dialogs = nullptr;
    ProcessTable* processes = nullptr;
    ProgramStarter* starter = nullptr;
    WindowService* window = nullptr;
    Autostart* autostart = nullptr;
    RunWorker* worker = nullptr;  // null: runs are done where they are started
    std::string executablePath;   // full path of the running program
};

}  // namespace hw
