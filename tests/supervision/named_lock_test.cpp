#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "supervision/named_lock_linux.h"
#include "support/cli_process.h"
#include "support/fake_services.h"

namespace hw {
namespace {

TEST(NamedLock, OneHolderAtATimeAndFreeAgainAfterUnlock) {
    test::TempDir dir;
    NamedLock first(dir / "Hoardwise 2.11.OneInstance.Default");
    NamedLock second(dir / "Hoardwise 2.11.OneInstance.Default");
    ASSERT_TRUE(first.TryLock());
    EXPECT_FALSE(second.TryLock());
    first.Unlock();
    EXPECT_TRUE(second.TryLock());
}

TEST(NamedLock, LockOfAKilledHolderCountsAsFree) {
    test::TempDir dir;
    const std::string path = dir / "lock";
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        NamedLock held(path);
        const char ok = held.TryLock() ? '1' : '0';
        (void)!write(ready[1], &ok, 1);
        pause();
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');
    NamedLock mine(path);
    EXPECT_FALSE(mine.TryLock());  // the child holds it

    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(mine.TryLock());
    close(ready[0]);
    close(ready[1]);
}

TEST(NamedLock, UncreatableLockFileIsNotTaken) {
    test::TempDir dir;
    test::WriteFile(dir / "file", "x");
    NamedLock lock(dir / "file/lock");  // its folder is a plain file
    EXPECT_FALSE(lock.TryLock());
}

// Two holders in one process stand for two programs: a lock of flock is one an open file.
TEST(BackupFolderLock, OneRunPerFolderByAnyOfItsNamesAndFoldersSideBySide) {
    test::TempDir dir;
    test::PrivateRuntime runtime(dir.path());
    std::filesystem::create_directory(dir / "b");
    std::filesystem::create_directory_symlink(dir / "b", dir / "link");
    BackupFolderLock window("window 1"), run("run 2");
    int finished = 0;
    const auto finish = [&finished] { ++finished; };
    // clang-format off
    // The work on a folder given up is finished first: `finished` counts it, so far.
    struct Row { BackupFolderLock* lock; std::string folder; bool held; std::string holder; int finished; };
    const Row rows[] = {
        {&window, dir / "b", true, "", 0},
        {&window, dir / "b/", true, "", 0},                  // held already
        {&run, dir / "link/../b/.", false, "window 1", 0},  // another name of it
        {&run, dir / "c", true, "", 0},                      // side by side
        {&window, dir / "c", false, "run 2", 0},             // the window keeps b
        {&run, dir / "b", false, "window 1", 0},
        {&window, dir / "d", true, "", 1},                   // b finished and given up
        {&run, dir / "link", true, "", 2},                   // c finished, b taken
        {&run, "relative", true, "", 2},                     // no folder: nothing to lock
    };
    // clang-format on
    for (const Row& row : rows) {
        const BackupFolderLock::Result result = row.lock->Hold(row.folder, finish);
        EXPECT_EQ(result.held, row.held) << row.folder;
        EXPECT_EQ(result.holder, row.holder) << row.folder;
        EXPECT_EQ(result.error, 0) << row.folder;
        EXPECT_EQ(finished, row.finished) << row.folder;
    }
}

TEST(NamedLock, RuntimeFolderIsPrivateAndFollowsTheDesktopsChoice) {
    test::TempDir dir;
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedValue = saved ? saved : "";

    chmod(dir.path().c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(NamedLock::RuntimeFolder(), dir.path());

    chmod(dir.path().c_str(), 0777);  // others could plant locks there: not used
    const std::string fallback = NamedLock::RuntimeFolder();
    EXPECT_NE(fallback, dir.path());
    EXPECT_FALSE(fallback.empty());

    if (saved) {
        setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
    } else {
        unsetenv("XDG_RUNTIME_DIR");
    }
}

}  // namespace
}  // namespace hw
