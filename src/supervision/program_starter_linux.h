// Starting a program on Linux so that it lives on its own, apart from Hoardwise.
#pragma once

#include <sys/types.h>

#include <string>

#include "base/services.h"

namespace hw {

struct StartResult {
    enum class Outcome {
        NotStarted,    // missing, not executable, or no process could be made
        Ended,         // started, and it ended within the wait
        StillRunning,  // started, and still running when the wait ran out
    };
    Outcome outcome = Outcome::NotStarted;
    pid_t pid = -1;  // the started program; never a child of ours
    int error = 0;   // errno of a failed start
};

// Starts the program at path with argv = {path}, this process's environment and current
// folder, in a session of its own and without our open files. An executable text file without
// a "#!" line runs as /bin/sh with argv = {"/bin/sh", path}. Then waits up to waitMs
// for it to end. The program is started through an intermediate child that is reaped at once,
// so it never becomes our zombie, and no one else's children are waited for.
StartResult StartDetachedProgram(const std::string& path, int waitMs,
                                 const std::vector<std::string>& arguments = {});

class LinuxProgramStarter : public ProgramStarter {
  public:
    explicit LinuxProgramStarter(int waitMs = 1000);
    bool StartProgram(const std::string& commandLine,
                      const std::vector<std::string>& arguments = {}) override;
    const StartResult& lastStart() const { return last_; }

  private:
    int waitMs_;
    StartResult last_;
};

}  // namespace hw
