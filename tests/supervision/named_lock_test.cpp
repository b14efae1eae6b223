#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "supervision/named_lock_linux.h"
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
