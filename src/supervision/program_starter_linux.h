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
// so it never becomes our zombie, and no one else's children are waited for. With `pidfd`, a
// started program's process descriptor goes there (-1 where the kernel has none): it is opened
// while the intermediate child still holds the program, so it can name no other process.
StartResult StartDetachedProgram(const std::string& path, int waitMs,
                                 const std::vector<std::string>& arguments = {},
                                 int* pidfd = nullptr);

// Watches a started program through its process descriptor, which it owns.
class PidfdEndWatch : public EndWatch {
  public:
    PidfdEndWatch(int pidfd, pid_t pid) : fd_(pidfd), pid_(pid) {}
    ~PidfdEndWatch() override;
    PidfdEndWatch(const PidfdEndWatch&) = delete;
    PidfdEndWatch& operator=(const PidfdEndWatch&) = delete;
    int descriptor() const override { return fd_; }
    bool Ended() const override;
    // Known from Linux 6.15 on, once the program's parent (init) has reaped it.
    std::optional<int> ExitStatus() const override;
    bool Reaped() const override;

  private:
    int fd_;
    pid_t pid_;
};

class LinuxProgramStarter : public ProgramStarter {
  public:
    explicit LinuxProgramStarter(int waitMs = 1000);
    bool StartProgram(const std::string& commandLine,
                      const std::vector<std::string>& arguments = {}) override;
    std::unique_ptr<EndWatch> TakeEndWatch() override { return std::move(watch_); }
    const StartResult& lastStart() const { return last_; }

  private:
    int waitMs_;
    StartResult last_;
    std::unique_ptr<EndWatch> watch_;
};

}  // namespace hw
