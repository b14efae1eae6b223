#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/syscall.h>

#include <filesystem>

#include "process_test_support.h"
#include "supervision/process_table_linux.h"
#include "supervision/program_starter_linux.h"

namespace fs = std::filesystem;

namespace hw {
namespace {

using Outcome = StartResult::Outcome;

std::vector<std::string> OpenFiles(pid_t pid) {
    std::vector<std::string> fds;
    std::error_code ec;
    for (const auto& item : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        fds.push_back(item.path().filename().string());
    }
    return fds;
}

TEST(ProgramStart, RunsThePathWithBlanksAsOneProgramOnItsOwnAndTimesOutWhileItRuns) {
    const std::string sleeper = test::HelperProgram("hw_sleeper");
    ASSERT_FALSE(sleeper.empty()) << "HOARDWISE_TEST_HELPERS is not set";
    test::TempDir dir;
    const std::string path = dir / "my folder/my prog";
    test::CopyProgram(sleeper, path);
    setenv("HOARDWISE_START_MARK", dir.path().c_str(), 1);
    const int leaked = open(dir.path().c_str(), O_RDONLY);  // no close-on-exec
    ASSERT_GE(leaked, 0);

    LinuxProgramStarter starter;
    const bool started = starter.StartProgram(path);
    const StartResult result = starter.lastStart();
    test::KillGuard guard(result.pid);
    close(leaked);
    unsetenv("HOARDWISE_START_MARK");

    ASSERT_TRUE(started);
    EXPECT_EQ(result.outcome, Outcome::StillRunning);
    ASSERT_GT(result.pid, 0);
    const std::string proc = "/proc/" + std::to_string(result.pid);
    {  // argv is the path alone
        EXPECT_EQ(test::ReadFile(proc + "/cmdline"), path + std::string(1, '\0'));
        EXPECT_EQ(fs::read_symlink(proc + "/exe").string(), path);
    }
    {  // our environment and current folder, none of our open files
        const std::string environment = test::ReadFile(proc + "/environ");
        EXPECT_NE(environment.find("HOARDWISE_START_MARK=" + dir.path()), std::string::npos);
        EXPECT_EQ(fs::read_symlink(proc + "/cwd"), fs::current_path());
        for (const std::string& fd : OpenFiles(result.pid)) EXPECT_LE(std::stoi(fd), 2) << fd;
    }
    {  // not our child, and in a session of its own so that it outlives us
        test::ProcEntry entry;
        ASSERT_TRUE(test::ReadProcEntry(result.pid, entry));
        EXPECT_NE(entry.ppid, getpid());
        EXPECT_EQ(entry.session, result.pid);
    }
}

TEST(ProgramStart, AProgramThatEndsAtOnceIsSeenToEndAndLeavesNoZombie) {
    const std::string quick = test::HelperProgram("hw_quick");
    ASSERT_FALSE(quick.empty()) << "HOARDWISE_TEST_HELPERS is not set";
    // The generous limit only guards against a loaded machine: the wait returns at the end.
    LinuxProgramStarter starter(30000);
    ASSERT_TRUE(starter.StartProgram(quick));
    test::KillGuard guard(starter.lastStart().pid);
    EXPECT_EQ(starter.lastStart().outcome, Outcome::Ended);
    EXPECT_EQ(starter.lastStart().error, 0);
    EXPECT_EQ(test::OurZombies(), std::vector<pid_t>{});
}

TEST(ProgramStart, ProgramsThatCannotRunAreReportedAsNotStarted) {
    test::TempDir dir;
    test::WriteFile(dir / "notes.txt", "plain text\n");
    using namespace std::string_literals;
    test::WriteFile(dir / "garbage",
                    "\x7F"
                    "ELF\x02\0 cut short"s);
    fs::permissions(dir / "garbage", fs::perms::owner_all);
    struct Case {
        std::string commandLine;
        int error;
    };
    const std::vector<Case> cases = {
        {dir / "missing/emule.exe", ENOENT},
        {"", ENOENT},
        {dir.path(), EACCES},         // a folder
        {dir / "notes.txt", EACCES},  // no execute bit, not even for root
        {dir / "garbage", ENOEXEC},   // executable bit, unknown binary format: no shell either
        {dir / "notes.txt/x", ENOTDIR},
        {dir / "garbage --flag", ENOENT},  // never split at blanks
    };
    for (const Case& c : cases) {
        LinuxProgramStarter starter;
        EXPECT_FALSE(starter.StartProgram(c.commandLine)) << c.commandLine;
        EXPECT_EQ(starter.lastStart().outcome, Outcome::NotStarted) << c.commandLine;
        EXPECT_EQ(starter.lastStart().error, c.error) << c.commandLine;
        EXPECT_EQ(starter.lastStart().pid, -1) << c.commandLine;
    }
    EXPECT_EQ(test::OurZombies(), std::vector<pid_t>{});
}

TEST(ProgramStart, AnExecutableTextWithoutInterpreterLineRunsThroughTheShell) {
    test::TempDir dir;
    const auto executable = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec;
    {  // one that ends: it has done its work when the wait sees it end
        const std::string path = dir / "write-marker";
        test::WriteFile(path, "echo started > \"" + dir / "marker" + "\"\n");
        fs::permissions(path, executable);
        LinuxProgramStarter starter(30000);
        ASSERT_TRUE(starter.StartProgram(path));
        test::KillGuard guard(starter.lastStart().pid);
        EXPECT_EQ(starter.lastStart().outcome, Outcome::Ended);
        EXPECT_EQ(test::ReadFile(dir / "marker"), "started\n");
    }
    {  // one that keeps running counts as running under its own name
        const std::string path = dir / "my-plain-script-a";
        test::WriteFile(path, "while :; do sleep 1; done\n");
        fs::permissions(path, executable);
        LinuxProgramStarter starter(0);
        ASSERT_TRUE(starter.StartProgram(path));
        test::KillGuard guard(starter.lastStart().pid);
        EXPECT_EQ(starter.lastStart().outcome, Outcome::StillRunning);
        LinuxProcessTable table;
        EXPECT_TRUE(table.IsProcessRunning("my-plain-script-a"));
        EXPECT_FALSE(table.IsProcessRunning("my-plain-script-b"));
    }
    EXPECT_EQ(test::OurZombies(), std::vector<pid_t>{});
}

bool KernelHasPidfd() {
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, getpid(), 0));
    if (pidfd >= 0) close(pidfd);
    return pidfd >= 0 || errno != ENOSYS;
}

// Real programs watched through their pidfd, with no observer tick.
TEST(ProgramStart, TheEndWatchRestartsAKilledProgramAtOnceAndHoldsOneThatEndsAtOnce) {
    struct CountingStarter : LinuxProgramStarter {
        using LinuxProgramStarter::LinuxProgramStarter;
        int starts = 0;
        bool StartProgram(const std::string& path, const std::vector<std::string>& args) override {
            ++starts;
            return LinuxProgramStarter::StartProgram(path, args);
        }
    };
    for (const bool quick : {false, true}) {
        const std::string name = quick ? "hw_quick" : "hw_sleeper";
        SCOPED_TRACE(name);
        const std::string program = test::HelperProgram(name);
        ASSERT_FALSE(program.empty()) << "HOARDWISE_TEST_HELPERS is not set";
        test::FakeDesktop desk;
        MainForm& f = desk.f();
        test::CopyProgram(program, desk.home / ("watched-" + name));
        CountingStarter starter(0);
        LinuxProcessTable processes;
        f.services.starter = &starter;
        f.services.processes = &processes;
        f.now = [] { return std::time_t{1000}; };  // every end counts as quick
        f.edit_launchpad_path.setText(desk.home / ("watched-" + name));
        f.cb_lauchpad_startup.setChecked(true);
        f.cb_lauchpad_watch.setChecked(true);
        f.timer_observer.tick();
        const pid_t first = starter.lastStart().pid;
        test::KillGuard guard(quick ? -1 : first);
        if (!KernelHasPidfd()) GTEST_SKIP() << "the kernel has no pidfd";
        if (!quick) kill(first, SIGKILL);
        for (int round = 0; round < (quick ? 5 : 1) && !f.EndWatchDescriptors().empty(); ++round) {
            pollfd entry{f.EndWatchDescriptors()[0], POLLIN, 0};
            ASSERT_EQ(poll(&entry, 1, 30000), 1);  // the limit only guards a loaded machine
            f.StartedProgramEnded();
            // The restart waits until the system has reaped the ended program, as a loop would.
            for (int wait = 0; f.ReapPending() && wait < 300; ++wait) {
                usleep(100000);
                f.StartedProgramEnded();
            }
        }
        test::KillGuard back(quick ? -1 : starter.lastStart().pid);
        EXPECT_EQ(starter.starts, quick ? 3 : 2);
        EXPECT_EQ(f.EndWatchDescriptors().empty(), quick);
        EXPECT_EQ(processes.IsProcessRunning("watched-" + name), !quick);
    }
    EXPECT_EQ(test::OurZombies(), std::vector<pid_t>{});
}

TEST(ProgramStart, TheEndWatchTellsHowAKilledProgramEndedOnceTheSystemDoes) {
    const std::string sleeper = test::HelperProgram("hw_sleeper");
    ASSERT_FALSE(sleeper.empty()) << "HOARDWISE_TEST_HELPERS is not set";
    LinuxProgramStarter starter(0);
    ASSERT_TRUE(starter.StartProgram(sleeper));
    test::KillGuard guard(starter.lastStart().pid);
    const std::unique_ptr<EndWatch> watch = starter.TakeEndWatch();
    if (!KernelHasPidfd()) GTEST_SKIP() << "the kernel has no pidfd";
    ASSERT_TRUE(watch);
    EXPECT_FALSE(starter.TakeEndWatch());  // handed over once
    EXPECT_FALSE(watch->Ended());
    EXPECT_FALSE(watch->ExitStatus());
    kill(starter.lastStart().pid, SIGKILL);
    pollfd entry{watch->descriptor(), POLLIN, 0};
    ASSERT_EQ(poll(&entry, 1, 30000), 1);
    EXPECT_TRUE(watch->Ended());
    // Known only on newer kernels, and once init has reaped it.
    if (const std::optional<int> status = watch->ExitStatus()) {
        EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL) << *status;
    }
}

}  // namespace
}  // namespace hw
