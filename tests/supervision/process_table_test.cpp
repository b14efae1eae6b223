#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/prctl.h>

#include <filesystem>

#include "base/amule.h"
#include "process_test_support.h"
#include "supervision/process_table_linux.h"

namespace hw {
namespace {

using test::ChildGuard;

TEST(ProcessTest, FindsAProgramByFileNameIgnoringCaseUntilItIsKilled) {
    const std::string sleeper = test::HelperProgram("hw_sleeper");
    ASSERT_FALSE(sleeper.empty()) << "HOARDWISE_TEST_HELPERS is not set";
    test::TempDir dir;
    LinuxProcessTable table;

    {  // started from a folder of its own, under an upper-case name
        const std::string path = dir / "EMULE.EXE";
        test::CopyProgram(sleeper, path);
        const pid_t spawned = test::SpawnSleeper(path, path);
        ASSERT_GT(spawned, 0);
        ChildGuard guard(spawned);
        const std::vector<pid_t> found = test::PidsRunning(path);
        ASSERT_EQ(found, std::vector<pid_t>{spawned});

        EXPECT_TRUE(table.IsProcessRunning("emule.exe"));
        EXPECT_TRUE(table.IsProcessRunning("EMULE.EXE"));
        EXPECT_FALSE(table.IsProcessRunning("emule"));
        EXPECT_FALSE(table.IsProcessRunning("mule.exe"));

        ASSERT_EQ(kill(found[0], SIGKILL), 0);
        ASSERT_TRUE(test::WaitUntilZombie(spawned));
        EXPECT_FALSE(table.IsProcessRunning("emule.exe")) << "killed, not yet reaped";
        guard.release();
        waitpid(spawned, nullptr, 0);
        EXPECT_FALSE(table.IsProcessRunning("emule.exe")) << "reaped";
    }
    {  // run under Wine: a Windows argv[0], while the executable is the loader
        const std::string loader = dir / "wine-loader";
        test::CopyProgram(sleeper, loader);
        const pid_t spawned = test::SpawnSleeper(loader, "C:\\eMule\\emule.exe");
        ASSERT_GT(spawned, 0);
        ChildGuard guard(spawned);
        EXPECT_TRUE(table.IsProcessRunning("emule.exe"));
        EXPECT_TRUE(table.IsProcessRunning("wine-loader"));
        EXPECT_FALSE(table.IsProcessRunning("C:\\eMule\\emule.exe"));
        EXPECT_FALSE(table.IsProcessRunning("eMule"));
    }
    EXPECT_FALSE(table.IsProcessRunning("emule.exe"));
}

TEST(ProcessTest, ScriptsCountByTheirOwnFullNameNotByTheCutKernelName) {
    // The kernel names each of these processes "my-sync-script-" (or after its interpreter).
    const std::string body = "printf r >&3\nexec 3>&-\nwhile :; do sleep 1; done\n";
    test::TempDir dir;
    LinuxProcessTable table;
    for (const char* firstLine : {"#!/bin/sh\n", "#!/bin/sh -e\n", "#!/usr/bin/env sh\n"}) {
        const std::string path = dir / "my-sync-script-a.sh";
        test::WriteFile(path, firstLine + body);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        const pid_t spawned = test::SpawnSleeper(path, path);
        ASSERT_GT(spawned, 0) << firstLine;
        ChildGuard guard(spawned);
        EXPECT_TRUE(table.IsProcessRunning("my-sync-script-a.sh")) << firstLine;
        EXPECT_TRUE(table.IsProcessRunning("MY-SYNC-SCRIPT-A.SH")) << firstLine;
        EXPECT_FALSE(table.IsProcessRunning("my-sync-script-b.sh")) << firstLine;
        EXPECT_FALSE(table.IsProcessRunning("my-sync-script-")) << firstLine;
    }
}

// A made-up process list, for what real processes cannot easily show.
void FakeProcess(const test::TempDir& root, const std::string& pid, const std::string& stat,
                 const std::string& comm, const std::string& cmdline, const std::string& exe) {
    test::WriteFile(root / (pid + "/stat"), stat);
    test::WriteFile(root / (pid + "/comm"), comm + "\n");
    test::WriteFile(root / (pid + "/cmdline"), cmdline);
    if (!exe.empty()) std::filesystem::create_symlink(exe, root / (pid + "/exe"));
}

// What the table tells of a process, and on which aMule configuration that puts it: the value of
// its option, a relative one from its working folder, else ".aMule" in its HOME, or where that
// cannot be read, in its user's home.
TEST(ProcessTest, DescribesAMuleProcessesAndTheConfigurationEachRunsOn) {
    using namespace std::string_literals;
    test::TempDir ours;   // our home, with the configuration in question
    test::TempDir other;  // another user's home
    const std::string config = ours / ".aMule";
    std::filesystem::create_directories(config);
    std::filesystem::create_directories(other / ".aMule");
    std::filesystem::create_directories(ours / "work");
    const uid_t me = getuid();
    const passwd* account = getpwuid(me);
    ASSERT_NE(account, nullptr);
    const std::string myName = account->pw_name;
    const std::string myHome = account->pw_dir;
    const long nobody = 3999999;  // an id without an account
    const struct {
        const char* what;
        std::string cmdline;
        long uid;         // -1: no status
        std::string env;  // empty: unreadable
        std::string cwd;  // empty: unreadable
        std::string user;
        std::string home;
        FolderMatch match;
    } rows[] = {
        // clang-format off
        {"another user's bare daemon", "amuled\0-f\0"s, nobody, "", "", "3999999", "", FolderMatch::Unknown},
        {"another user's bare amule", "amule\0"s, nobody, "HOME="s + other.path() + "\0"s, "", "3999999", other.path(), FolderMatch::Other},
        {"ours, bare", "/usr/bin/amuled\0"s, me, "A=1\0HOME="s + ours.path() + "\0"s, "", myName, ours.path(), FolderMatch::Same},
        {"a relative -c", "amuled\0-c\0../.aMule\0"s, me, "", ours / "work", myName, myHome, FolderMatch::Same},
        {"a relative one, no working folder", "amule\0-c.aMule\0"s, me, "", "", myName, myHome, FolderMatch::Unknown},
        {"-c=", "amule\0-c="s + config + "\0"s, nobody, "", "", "3999999", "", FolderMatch::Same},
        {"after --", "amuled\0--\0-c"s + config + "\0"s, me, "HOME="s + other.path() + "\0"s, "", myName, other.path(), FolderMatch::Other},
        {"a missing folder", "amuled\0-c\0"s + ours / "gone" + "\0"s, me, "", "", myName, myHome, FolderMatch::Unknown},
        // clang-format on
    };
    int pid = 500;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        test::TempDir proc;
        const std::string id = std::to_string(++pid);
        FakeProcess(proc, id, id + " (amuled) S 1 1 1", "amuled", row.cmdline, "/usr/bin/amuled");
        if (row.uid >= 0) {
            test::WriteFile(proc / (id + "/status"),
                            "Name:\tamuled\nUid:\t" + std::to_string(row.uid) + "\t0\t0\t0\n");
        }
        if (!row.env.empty()) test::WriteFile(proc / (id + "/environ"), row.env);
        if (!row.cwd.empty()) std::filesystem::create_symlink(row.cwd, proc / (id + "/cwd"));
        const std::vector<ProcessInfo> found = LinuxProcessTable(proc.path()).ProcessesOf("amuled");
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].pid, pid);
        EXPECT_EQ(found[0].uid, row.uid);
        EXPECT_EQ(found[0].user, row.user);
        EXPECT_EQ(found[0].home, row.home);
        EXPECT_EQ(found[0].workingFolder.empty(), row.cwd.empty());
        EXPECT_EQ(AmuleRunsOn(found[0], config), row.match);
    }
}

// A child that takes the given kernel name and lives until it is killed.
class NamedChild {
  public:
    explicit NamedChild(const char* name) {
        int ready[2];
        if (pipe(ready) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            prctl(PR_SET_NAME, name);
            char byte = 1;
            (void)!write(ready[1], &byte, 1);
            for (;;) pause();
        }
        close(ready[1]);
        char byte = 0;
        started_ = pid_ > 0 && read(ready[0], &byte, 1) == 1;
        close(ready[0]);
    }
    ~NamedChild() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool started() const { return started_; }

  private:
    pid_t pid_ = -1;
    bool started_ = false;
};

TEST(ProcessTest, TheKernelNameCountsOnlyWhenNothingElseCanBeReadAndOnlyForShortNames) {
    {  // a readable executable and arguments outweigh the kernel name
        LinuxProcessTable table;
        NamedChild longName("zzlongclientname.exe");  // the kernel keeps "zzlongclientnam"
        NamedChild shortName("zzclient.exe");
        ASSERT_TRUE(longName.started() && shortName.started());
        EXPECT_FALSE(table.IsProcessRunning("zzlongclientname.exe"));
        EXPECT_FALSE(table.IsProcessRunning("zzlongclientnam"));
        EXPECT_FALSE(table.IsProcessRunning("zzclient.exe"));
    }
    using namespace std::string_literals;
    test::TempDir proc;  // kernel threads and the like: no executable link, no arguments
    FakeProcess(proc, "10", "10 (short.exe) S 1 10 10", "short.exe", "", "");
    FakeProcess(proc, "20", "20 (longclientname.) S 1 20 20", "longclientname.", "", "");
    FakeProcess(proc, "30", "30 (shown) S 1 30 30", "shown", "/usr/bin/other\0"s, "");
    LinuxProcessTable table(proc.path());
    EXPECT_TRUE(table.IsProcessRunning("SHORT.EXE"));
    EXPECT_FALSE(table.IsProcessRunning("longclientname.exe"));
    EXPECT_TRUE(table.IsProcessRunning("longclientname."));
    EXPECT_FALSE(table.IsProcessRunning("shown"));
}

TEST(ProcessTest, EmptyNameAndUnreadableProcessListFindNothing) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").filename().string();
    test::TempDir dir;
    test::WriteFile(dir / "file", "");

    EXPECT_TRUE(LinuxProcessTable().IsProcessRunning(self));
    EXPECT_FALSE(LinuxProcessTable().IsProcessRunning(""));
    EXPECT_FALSE(LinuxProcessTable(dir / "missing").IsProcessRunning(self));
    EXPECT_FALSE(LinuxProcessTable(dir / "file").IsProcessRunning(self));
}

TEST(ProcessTest, ReadsDeletedExecutablesAndStatesAfterOddNames) {
    using namespace std::string_literals;
    test::TempDir proc;
    FakeProcess(proc, "10", "10 (gui) Z) S 1 10 10", "gui) Z", "/usr/bin/gui\0"s, "");
    FakeProcess(proc, "20", "20 (client) Z 1 20 20", "client", "", "");
    FakeProcess(proc, "30", "30 (a b) R 1 30 30", "a b", "", "/opt/x/updated.exe (deleted)");
    FakeProcess(proc, "self", "31 (hidden) S 1 31 31", "hidden", "", "");
    FakeProcess(proc, "40", "40 (run) S 1 40 40", "run", "D:\\bin/tool.exe\0--flag\0"s, "");
    LinuxProcessTable table(proc.path());

    EXPECT_TRUE(table.IsProcessRunning("gui"));  // the state follows the last ")"
    EXPECT_FALSE(table.IsProcessRunning("client"));
    EXPECT_TRUE(table.IsProcessRunning("updated.exe"));
    EXPECT_FALSE(table.IsProcessRunning("updated.exe (deleted)"));
    EXPECT_FALSE(table.IsProcessRunning("hidden"));
    EXPECT_TRUE(table.IsProcessRunning("TOOL.EXE"));
    EXPECT_FALSE(table.IsProcessRunning("--flag"));
}

// A file named as an argument is that program only when the process runs it: a shell or an
// interpreter, or the program its "#!" line names; not a pager or an editor that shows it.
TEST(ProcessTest, AFileNamedAsAnArgumentCountsOnlyWhenTheProcessRunsIt) {
    using namespace std::string_literals;
    test::TempDir proc;
    test::WriteFile(proc / "tool.run", "#!/usr/bin/env mytool\n");
    const struct {
        const char* exe;
        std::string cmdline;
        const char* name;
        bool running;
    } rows[] = {
        {"/usr/bin/tail", "tail\0-f\0/srv/emule.exe\0"s, "emule.exe", false},
        {"/usr/bin/vim", "vim\0/home/u/client-script\0"s, "client-script", false},
        {"/usr/bin/dash", "sh\0/home/u/client-script\0"s, "client-script", true},
        {"/usr/bin/python3.11", "python3\0-u\0watch.py\0"s, "watch.py", true},
        {"/opt/mytool", "mytool\0"s + (proc / "tool.run") + "\0"s, "tool.run", true},
        {"/opt/other", "other\0"s + (proc / "tool.run") + "\0"s, "tool.run", false},
    };
    int pid = 100;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.exe);
        test::TempDir one;
        FakeProcess(one, std::to_string(++pid), "1 (x) S 1 1 1", "x", row.cmdline, row.exe);
        EXPECT_EQ(LinuxProcessTable(one.path()).IsProcessRunning(row.name), row.running);
    }
}

}  // namespace
}  // namespace hw
