// Real processes for the supervision tests: the helper programs, spawning with a chosen argv[0],
// guards that end what a test started even when an assertion fails, and a look at /proc.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/fake_services.h"

extern char** environ;

namespace hw::test {

// Path of a helper program built beside the tests; empty when the variable is not set.
inline std::string HelperProgram(const std::string& name) {
    const char* folder = std::getenv("HOARDWISE_TEST_HELPERS");
    return folder ? std::string(folder) + "/" + name : std::string();
}

// Copies a helper program to path (creating its folders), keeping it executable.
inline void CopyProgram(const std::string& from, const std::string& path) {
    namespace fs = std::filesystem;
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(from, path, fs::copy_options::overwrite_existing);
    fs::permissions(path, fs::perms::owner_all);
}

// Starts the program at path (the sleeper, or a script that does the same: write one byte to
// fd 3 once it runs) as our child with the given argv[0] and returns once it runs;
// -1 on failure. (A freshly spawned process may show no argv yet.)
inline pid_t SpawnSleeper(const std::string& path, const std::string& argv0) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
    std::string first = argv0;
    char* const argv[] = {first.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(ready[1]);
    char byte = 0;
    if (pid > 0 && read(ready[0], &byte, 1) != 1) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    close(ready[0]);
    return pid;
}

// Kills a child of ours and reaps it, unless the test has done so already.
class ChildGuard {
  public:
    explicit ChildGuard(pid_t pid) : pid_(pid) {}
    ~ChildGuard() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    ChildGuard(const ChildGuard&) = delete;
    ChildGuard& operator=(const ChildGuard&) = delete;
    void release() { pid_ = -1; }

  private:
    pid_t pid_;
};

// Kills a started program that is not our child; its parent reaps it.
class KillGuard {
  public:
    explicit KillGuard(pid_t pid) : pid_(pid) {}
    ~KillGuard() {
        if (pid_ > 0) kill(pid_, SIGKILL);
    }
    KillGuard(const KillGuard&) = delete;
    KillGuard& operator=(const KillGuard&) = delete;

  private:
    pid_t pid_;
};

// Waits until a child of ours has ended, leaving it a zombie.
inline bool WaitUntilZombie(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) == 0;
}

struct ProcEntry {
    pid_t pid = 0;
    pid_t ppid = 0;
    pid_t session = 0;
    char state = '?';
    std::string exe;  // empty when the link cannot be read
};

// The fields after the process name of /proc/PID/stat; false when the process is gone.
inline bool ReadProcEntry(pid_t pid, ProcEntry& entry) {
    const std::string dir = "/proc/" + std::to_string(pid);
    const std::string stat = ReadFile(dir + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return false;
    entry.pid = pid;
    char state = '?';
    int ppid = 0, group = 0, session = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %d %d %d", &state, &ppid, &group, &session) !=
        4) {
        return false;
    }
    entry.state = state;
    entry.ppid = ppid;
    entry.session = session;
    std::error_code ec;
    entry.exe = std::filesystem::read_symlink(dir + "/exe", ec).string();
    return true;
}

inline std::vector<ProcEntry> ListProcesses() {
    std::vector<ProcEntry> all;
    std::error_code ec;
    for (const auto& item : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = item.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        ProcEntry entry;
        if (ReadProcEntry(std::stoi(name), entry)) all.push_back(entry);
    }
    return all;
}

inline std::vector<pid_t> PidsRunning(const std::string& exePath) {
    std::vector<pid_t> pids;
    for (const ProcEntry& p : ListProcesses()) {
        if (p.exe == exePath) pids.push_back(p.pid);
    }
    return pids;
}

inline std::vector<pid_t> OurZombies() {
    std::vector<pid_t> pids;
    for (const ProcEntry& p : ListProcesses()) {
        if (p.ppid == getpid() && p.state == 'Z') pids.push_back(p.pid);
    }
    return pids;
}

}  // namespace hw::test
