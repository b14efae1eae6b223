// Scripted stand-ins for the desktop: queues of answers and a record of what was shown.
#pragma once

#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/services.h"
#include "ui/main_form.h"

namespace hw::test {

struct Shown {
    enum class Kind { Message, ErrorReport, Question, OpenFiles, BrowseFolder };
    Kind kind;
    std::string text;        // message text, question, or the dialog's title
    std::string caption;     // caption of a message box; the initial folder of a dialog
    std::string extra = {};  // a question's button besides Yes and No
};

class FakeDialogs : public Dialogs {
  public:
    std::vector<Shown> shown;
    // Answers to questions, in order; with none left the question is answered No (Escape).
    std::deque<bool> answers;
    // Answers to questions with an extra button; with none left `answers` gives Yes or No.
    std::deque<Choice> choices;
    std::deque<std::vector<std::string>> fileAnswers;  // none left: cancelled
    std::deque<std::string> folderAnswers;             // none left: cancelled
    // Runs while a box is open, as a nested message loop would deliver timer ticks.
    std::function<void()> whileOpen;

    void ShowMessage(const std::string& text, const std::string& caption) override;
    void ShowErrorReport(const std::string& text, const std::string& caption) override;
    bool AskYesNo(const std::string& question) override;
    Choice AskYesNoOr(const std::string& question, const std::string& extra) override;
    std::vector<std::string> OpenFiles(const OpenDialog& dialog,
                                       const std::string& initialFolder) override;
    std::string BrowseFolder(const FolderBrowse& dialog) override;

    // Texts of the message boxes (not questions or dialogs), in order.
    std::vector<std::string> messageTexts() const;
    std::vector<std::string> messageCaptions() const;
    int count(Shown::Kind kind) const;

  private:
    void runWhileOpen();
};

class FakeProcessTable : public ProcessTable {
  public:
    std::vector<std::string> running;  // executable names; compared ignoring case
    // The arguments of running processes by name; a running name without any runs bare. These
    // are the test's own processes: its user, working folder and HOME.
    std::vector<std::vector<std::string>> arguments;
    // Further processes, described in full (another user's, say); each runs by the name its
    // arguments begin with.
    std::vector<ProcessInfo> described;
    int queries = 0;
    bool IsProcessRunning(const std::string& exeName) override;
    std::vector<ProcessInfo> ProcessesOf(const std::string& exeName) override;
};

class FakeStarter : public ProgramStarter {
  public:
    std::vector<std::string> started;  // each command line, its arguments after blanks
    bool succeed = true;
    // With `watched`, each successful start hands out an end watch; the test ends that program
    // through its entry here (the descriptor is the entry's index, never a real one).
    struct Ending {
        bool ended = false;
        std::optional<int> status;  // its wait status, once "reaped"
    };
    bool watched = false;
    std::vector<std::shared_ptr<Ending>> endings;
    bool StartProgram(const std::string& commandLine,
                      const std::vector<std::string>& arguments = {}) override;
    std::unique_ptr<EndWatch> TakeEndWatch() override;
};

class FakeWindow : public WindowService {
  public:
    int broughtToFront = 0;
    bool notificationArea = true;
    bool sessionEnding = false;
    int hidden = 0;
    int minimized = 0;
    int restored = 0;
    int quitRequests = 0;
    bool display = true;
    std::vector<std::string> openedUrls;
    void BringMainWindowToFront() override { ++broughtToFront; }
    bool NotificationAreaAvailable() override { return notificationArea; }
    void HideApplication() override { ++hidden; }
    void MinimizeApplication() override { ++minimized; }
    void RestoreApplication() override { ++restored; }
    void Quit() override { ++quitRequests; }
    bool SessionEnding() override { return sessionEnding; }
    void OpenUrl(const std::string& address) override { openedUrls.push_back(address); }
    bool HasDisplay() override { return display; }
};

class FakeAutostart : public Autostart {
  public:
    std::vector<bool> calls;
    bool succeed = true;
    bool SetAutostart(bool on) override {
        calls.push_back(on);
        return succeed;
    }
};

// A temporary folder removed with everything in it (write bits restored first).
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Sets an environment variable for its lifetime, also when an assertion leaves early.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// Writes a file (creating its folders) and reads one back; empty when it cannot be read.
void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

// A main window model wired to fakes, its executable placed in a temporary folder.
struct FakeDesktop {
    FakeDialogs dialogs;
    FakeProcessTable processes;
    FakeStarter starter;
    FakeWindow window;
    FakeAutostart autostart;
    TempDir home;
    std::unique_ptr<MainForm> form;

    // The program "lives" at home/hoardwise unless another path is given.
    explicit FakeDesktop(const std::string& executablePath = "");
    Services services();
    MainForm& f() { return *form; }
};

// Writes the settings file of the desk's program and runs the window's creation handler.
void LoadFrom(FakeDesktop& desk, const std::string& settingsText);

}  // namespace hw::test
