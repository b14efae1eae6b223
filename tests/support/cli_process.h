// The command line as a real child process, its output caught in files.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/fake_services.h"

extern char** environ;

namespace hw::test {

// Polls `done` every 100 ms for up to `seconds`.
inline bool WaitUntil(const std::function<bool()>& done, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

// A lock folder and a history of the test's own for the programs it starts, for its lifetime.
class PrivateRuntime {
  public:
    explicit PrivateRuntime(const std::string& folder) {
        ::mkdir((folder + "/run").c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", (folder + "/run").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (folder + "/state").c_str(), 1);
    }
    ~PrivateRuntime() {
        ::unsetenv("XDG_RUNTIME_DIR");
        ::unsetenv("XDG_STATE_HOME");
    }
};

class CliProcess {
  public:
    explicit CliProcess(const std::vector<std::string>& arguments) {
        std::vector<std::string> all{HOARDWISE_CLI};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : all) argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, (output_ / "out").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, (output_ / "err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CliProcess() {
        if (pid_ > 0) Signal(SIGKILL), Wait(5);
    }
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    void Signal(int signal) const { ::kill(pid_, signal); }
    // The exit code; -1 when it did not end in time (or by a signal).
    int Wait(int seconds) {
        int status = 0;
        const bool ended =
            pid_ > 0 &&
            WaitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, seconds);
        if (!ended) return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string out() const { return ReadFile(output_ / "out"); }
    std::string err() const { return ReadFile(output_ / "err"); }

  private:
    TempDir output_;
    pid_t pid_ = -1;
};

struct CliResult {
    int code;
    std::string out;
    std::string err;
};

// Runs a command that ends by itself.
inline CliResult RunCli(const std::vector<std::string>& arguments) {
    CliProcess process(arguments);
    const int code = process.Wait(60);
    return {code, process.out(), process.err()};
}

}  // namespace hw::test
