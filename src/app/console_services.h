// The desktop's services for a run without a window: a box becomes lines of text, a question
// gets the answer the command line gave, and there is no window to show or hide.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/services.h"

namespace hw {

class ConsoleDialogs : public Dialogs {
  public:
    // Errors (boxes with this caption, and the error report) go to `errors`, the rest to `info`.
    ConsoleDialogs(std::FILE* info, std::FILE* errors) : info_(info), errors_(errors) {}
    const std::string* errorCaption = nullptr;
    bool answer = false;  // to every question

    void ShowMessage(const std::string& text, const std::string& caption) override;
    void ShowErrorReport(const std::string& text, const std::string& caption) override;
    bool AskYesNo(const std::string& question) override;
    // Yes or No as `answer` says: the extra choice has an option of its own on the command line.
    Choice AskYesNoOr(const std::string& question, const std::string& extra) override;
    std::vector<std::string> OpenFiles(const OpenDialog&, const std::string&) override {
        return {};
    }
    std::string BrowseFolder(const FolderBrowse&) override { return {}; }

  private:
    std::FILE* info_;
    std::FILE* errors_;
};

class HeadlessWindow : public WindowService {
  public:
    void BringMainWindowToFront() override {}
    bool NotificationAreaAvailable() override { return false; }
    void HideApplication() override {}
    void MinimizeApplication() override {}
    void RestoreApplication() override {}
    void Quit() override {}
    bool SessionEnding() override { return false; }
    void OpenUrl(const std::string&) override {}
    // The command line runs on servers and in services: the client it starts needs no display.
    bool HasDisplay() override { return false; }
};

// Starts programs through another starter and tells each start, once `tell` is set.
class ToldProgramStarter : public ProgramStarter {
  public:
    explicit ToldProgramStarter(ProgramStarter& starter) : starter_(starter) {}
    std::function<void(bool started, const std::string& commandLine)> tell;
    bool StartProgram(const std::string& commandLine,
                      const std::vector<std::string>& arguments = {}) override;
    std::unique_ptr<EndWatch> TakeEndWatch() override { return starter_.TakeEndWatch(); }

  private:
    ProgramStarter& starter_;
};

// Writes the text as lines, without the trailing blanks and line breaks that boxes carry.
void WriteLines(std::FILE* out, const std::string& text);

}  // namespace hw
