#include "supervision/program_starter_linux.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

namespace hw {

namespace {

// What the intermediate child and the program report through the close-on-exec pipe. Each
// message is smaller than PIPE_BUF, so it arrives whole even with two writers.
struct Report {
    enum Kind : int { ProgramPid = 1, StartFailed = 2 };
    int kind;
    int value;
};

void SendReport(int fd, Report::Kind kind, int value) {
    const Report report{kind, value};
    while (write(fd, &report, sizeof report) < 0 && errno == EINTR) {
    }
}

// Whether the file's first line holds a NUL byte, the sign of a binary that the shell must not
// be given as a script (as the shells judge it). A file that cannot be sampled counts as one.
// Async-signal-safe.
bool LooksBinary(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;
    char sample[80];
    ssize_t n;
    do {
        n = read(fd, sample, sizeof sample);
    } while (n < 0 && errno == EINTR);
    close(fd);
    if (n < 0) return true;
    for (ssize_t i = 0; i < n && sample[i] != '\n'; ++i) {
        if (sample[i] == '\0') return true;
    }
    return false;
}

// Runs between fork and exec: async-signal-safe calls only.
[[noreturn]] void ExecProgram(char* const argv[], char* const shellArgv[], int reportFd,
                              int maxFd) {
    // Ignored signals and the blocked mask survive exec; the program should start clean.
    struct sigaction byDefault;
    memset(&byDefault, 0, sizeof byDefault);
    byDefault.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP) sigaction(sig, &byDefault, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    setsid();
    // None of our files goes along (a lock file held by the client would outlive us).
    if (syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd <= maxFd; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    execv(argv[0], argv);
    // An executable text without a "#!" line is a shell script, as the shells and desktop
    // launchers take it.
    if (errno == ENOEXEC && !LooksBinary(argv[0])) {
        execv(shellArgv[0], shellArgv);
        errno = ENOEXEC;
    }
    SendReport(reportFd, Report::StartFailed, errno);
    _exit(127);
}

int HighestFdToClose() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 65535;
    return static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 65536) - 1);
}

void WaitForChild(pid_t pid) {
    // Only this one child: other children (Qt's among them) are left to their owners.
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// The next report; false once every writer has gone: the intermediate child exits, and the
// program's end of the pipe closes at a successful exec. Each report is written whole and read
// whole, as the pipe keeps the order of writes below PIPE_BUF.
bool ReadReport(int fd, Report& report) {
    for (;;) {
        const ssize_t n = read(fd, &report, sizeof report);
        if (n < 0 && errno == EINTR) continue;
        return n == static_cast<ssize_t>(sizeof report);
    }
}

// Polls for the end without owning the process: on its pidfd when the kernel has them,
// otherwise a probe every 10 ms.
StartResult::Outcome WaitForEnd(pid_t pid, int pidfd, int waitMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    auto remainingMs = [&] {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return left.count() > 0 ? static_cast<int>(left.count()) : 0;
    };
    if (pidfd >= 0) {
        pollfd entry{pidfd, POLLIN, 0};
        int ready;
        do {
            ready = poll(&entry, 1, remainingMs());
        } while (ready < 0 && errno == EINTR);
        return ready > 0 ? StartResult::Outcome::Ended : StartResult::Outcome::StillRunning;
    }
    for (;;) {
        if (kill(pid, 0) != 0 && errno == ESRCH) return StartResult::Outcome::Ended;
        if (remainingMs() == 0) return StartResult::Outcome::StillRunning;
        const timespec step{0, 10 * 1000 * 1000};
        nanosleep(&step, nullptr);
    }
}

}  // namespace

StartResult StartDetachedProgram(const std::string& path, int waitMs,
                                 const std::vector<std::string>& arguments, int* pidfd) {
    StartResult result;
    if (pidfd != nullptr) *pidfd = -1;
    // Private copies, made before the fork: the child uses their buffers.
    std::string program = path;
    std::vector<std::string> words = arguments;
    char shell[] = "/bin/sh";
    std::vector<char*> argv{program.data()};
    std::vector<char*> shellArgv{shell, program.data()};
    for (std::string& word : words) {
        argv.push_back(word.data());
        shellArgv.push_back(word.data());
    }
    argv.push_back(nullptr);
    shellArgv.push_back(nullptr);
    const int maxFd = HighestFdToClose();

    // Reports come up `pipeFds`; the intermediate child waits on `release` until the program's
    // pidfd is open, so that the program cannot have been reaped (and its number reused) before.
    int pipeFds[2];
    int release[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        result.error = errno;
        return result;
    }
    if (pipe2(release, O_CLOEXEC) != 0) {
        result.error = errno;
        close(pipeFds[0]);
        close(pipeFds[1]);
        return result;
    }
    const pid_t middle = fork();
    if (middle < 0) {
        result.error = errno;
        for (const int fd : {pipeFds[0], pipeFds[1], release[0], release[1]}) close(fd);
        return result;
    }
    if (middle == 0) {
        close(release[1]);
        // An ignored SIGCHLD would let the system reap the program behind our back.
        signal(SIGCHLD, SIG_DFL);
        const pid_t child = fork();
        if (child == 0) ExecProgram(argv.data(), shellArgv.data(), pipeFds[1], maxFd);
        if (child < 0) {
            SendReport(pipeFds[1], Report::StartFailed, errno);
            _exit(1);
        }
        SendReport(pipeFds[1], Report::ProgramPid, child);
        char byte;
        while (read(release[0], &byte, 1) < 0 && errno == EINTR) {
        }
        _exit(0);
    }
    close(pipeFds[1]);
    close(release[0]);
    int watch = -1;
    Report report{};
    while (ReadReport(pipeFds[0], report)) {
        if (report.kind == Report::StartFailed) result.error = report.value;
        if (report.kind == Report::ProgramPid && result.pid <= 0) {
            result.pid = report.value;
            watch = static_cast<int>(syscall(SYS_pidfd_open, result.pid, 0));
            close(release[1]);
            release[1] = -1;
        }
    }
    if (release[1] >= 0) close(release[1]);
    close(pipeFds[0]);
    WaitForChild(middle);

    if (result.error != 0 || result.pid <= 0) {
        if (result.error == 0) result.error = ECHILD;
        result.pid = -1;
        if (watch >= 0) close(watch);
        return result;
    }
    result.outcome = WaitForEnd(result.pid, watch, waitMs);
    if (pidfd != nullptr) {
        *pidfd = watch;
    } else if (watch >= 0) {
        close(watch);
    }
    return result;
}

PidfdEndWatch::~PidfdEndWatch() {
    close(fd_);
}

bool PidfdEndWatch::Ended() const {
    pollfd entry{fd_, POLLIN, 0};
    int ready;
    do {
        ready = poll(&entry, 1, 0);
    } while (ready < 0 && errno == EINTR);
    // A descriptor that cannot be polled counts as ended, so that it is let go rather than
    // waited on for ever.
    return ready != 0;
}

namespace {

// The kernel's struct pidfd_info as far as the exit status (PIDFD_GET_INFO, Linux 6.15).
struct PidfdInfo {
    std::uint64_t mask;
    std::uint64_t cgroupid;
    std::uint32_t pid, tgid, ppid, ruid, rgid, euid, egid, suid, sgid, fsuid, fsgid;
    std::int32_t exitCode;
};
static_assert(sizeof(PidfdInfo) == 64, "the kernel's first version of the structure");
constexpr std::uint64_t kPidfdInfoExit = 1u << 3;
constexpr unsigned long kPidfdGetInfo = _IOWR(0xFF, 11, PidfdInfo);

}  // namespace

std::optional<int> PidfdEndWatch::ExitStatus() const {
    PidfdInfo info{};
    info.mask = kPidfdInfoExit;
    // Older kernels refuse the request; a program not yet reaped has no exit in the answer.
    if (ioctl(fd_, kPidfdGetInfo, &info) != 0 || (info.mask & kPidfdInfoExit) == 0) return {};
    return info.exitCode;
}

bool PidfdEndWatch::Reaped() const {
    return pid_ <= 0 || (kill(pid_, 0) != 0 && errno == ESRCH);
}

LinuxProgramStarter::LinuxProgramStarter(int waitMs) : waitMs_(waitMs) {}

bool LinuxProgramStarter::StartProgram(const std::string& commandLine,
                                       const std::vector<std::string>& arguments) {
    int pidfd = -1;
    last_ = StartDetachedProgram(commandLine, waitMs_, arguments, &pidfd);
    watch_.reset();
    if (pidfd >= 0) watch_ = std::make_unique<PidfdEndWatch>(pidfd, last_.pid);
    return last_.outcome != StartResult::Outcome::NotStarted;
}

}  // namespace hw
