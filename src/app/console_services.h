// The console in place of the window's boxes: messages become lines of text, and the programs
// started are told.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/services.h"
#include "ui/messages.h"
#include "ui/run_texts.h"

namespace hw {

// The program's name, before what it says of itself.
inline const char* const kProgram = "hoardwise-cli";

// "hoardwise-cli: " and the text, on stderr.
void Complain(const std::string& text);

// Writes the text as lines, without the trailing blanks and line breaks that boxes carry.
void WriteLines(std::FILE* out, const std::string& text);

enum class Severity { Error, Warning, Info };

// Where the lines of a command go, as its options ask: --quiet keeps only the errors, --json
// keeps stdout for the JSON object (and collects the messages for it), and `run` marks each
// line on stderr with its severity.
class Console {
  public:
    bool quiet = false;
    bool json = false;
    // Each line on stderr starts with its severity: "error: ", "warning: ", or nothing.
    bool severities = false;
    // ... in sd-daemon's form ("<3>", "<4>", "<6>"), for the journal.
    bool journal = false;

    // A line of a report (the status, the settings): stdout only.
    void Out(const std::string& text) const;
    // A message of a command on stdout (what the window shows in a box); kept for --json.
    void Say(const std::string& text);
    // A line on stderr; kept for --json.
    void Tell(Severity severity, const std::string& text);
    // An error of the program itself: "hoardwise-cli: " and the text where no severity is shown.
    void Complain(const std::string& text);
    // A run's message: an error's on stderr, any other on stdout.
    void TellRunMessage(const Messages& m, const RunMessage& message);

    // The messages told, as shown, for the JSON object.
    const std::vector<std::string>& told() const { return told_; }

  private:
    std::vector<std::string> told_;
};

// True when stderr is the journal's stream (JOURNAL_STREAM names its device and inode).
bool StderrIsJournal();

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

}  // namespace hw
