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

// A run's message: an error's on stderr, any other on stdout.
void TellRunMessage(const Messages& m, const RunMessage& message);

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
