#include "settings/atomic_file.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "settings/ini_file.h"
#include "support/fake_services.h"
#include "support/odd_files.h"

namespace fs = std::filesystem;

namespace hw {
namespace {

int FileCount(const std::string& folder) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        (void)entry;
        ++count;
    }
    return count;
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
}

TEST(ReplaceFileContent, AFailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile) {
    {
        test::TempDir dir;
        const std::string path = dir / "hoardwise.INI";
        test::WriteFile(path, "old content\n");
        errno = 0;
        EXPECT_FALSE(ReplaceFileContent(path, "new content\n", [](int, const char*, std::size_t) {
            errno = ENOSPC;
            return false;
        }));
        EXPECT_EQ(errno, ENOSPC);
        EXPECT_EQ(test::ReadFile(path), "old content\n");
        EXPECT_EQ(FileCount(dir.path()), 1);
    }
    test::TempDir dir;
    EXPECT_TRUE(ReplaceFileContent(dir / "f", "new\n"));
    EXPECT_EQ(test::ReadFile(dir / "f"), "new\n");
    EXPECT_EQ(FileCount(dir.path()), 1);
}

TEST(ReplaceFileContent, PathsThatCannotHoldAFileFail) {
    test::TempDir dir;
    test::WriteFile(dir / "plain", "x");
    errno = 0;
    EXPECT_FALSE(ReplaceFileContent(dir / "plain/hoardwise.INI", "x"));
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_EQ(test::ReadFile(dir / "plain"), "x");

    fs::create_directory(dir / "folder");
    test::WriteFile(dir / "folder/inside", "kept");
    EXPECT_FALSE(ReplaceFileContent(dir / "folder", "x"));
    EXPECT_EQ(test::ReadFile(dir / "folder/inside"), "kept");
}

TEST(ReplaceFileContent, KeepsPermissionBitsAndNewFilesFollowTheUmask) {
    test::TempDir dir;
    const std::string path = dir / "hoardwise.INI";
    test::WriteFile(path, "old");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(ReplaceFileContent(path, "new"));
    EXPECT_EQ(ModeOf(path), 0640u);

    const mode_t mask = umask(022);
    ASSERT_TRUE(ReplaceFileContent(dir / "fresh", "new"));
    umask(mask);
    EXPECT_EQ(ModeOf(dir / "fresh"), 0644u);
}

TEST(ReplaceFileContent, WritesThroughSymbolicLinksToTheirTarget) {
    test::TempDir dir;
    fs::create_directory(dir / "real");
    test::WriteFile(dir / "real/settings.INI", "old");
    fs::create_symlink("real/settings.INI", dir / "relative.INI");
    fs::create_symlink(dir / "relative.INI", dir / "chain.INI");

    ASSERT_TRUE(ReplaceFileContent(dir / "chain.INI", "through the chain"));
    EXPECT_TRUE(fs::is_symlink(dir / "chain.INI"));
    EXPECT_TRUE(fs::is_symlink(dir / "relative.INI"));
    EXPECT_EQ(test::ReadFile(dir / "real/settings.INI"), "through the chain");
    EXPECT_EQ(FileCount(dir / "real"), 1);

    fs::create_symlink(dir / "real/not-yet.INI", dir / "dangling.INI");
    ASSERT_TRUE(ReplaceFileContent(dir / "dangling.INI", "created"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.INI"));
    EXPECT_EQ(test::ReadFile(dir / "real/not-yet.INI"), "created");

    fs::create_symlink(dir / "loop-b", dir / "loop-a");
    fs::create_symlink(dir / "loop-a", dir / "loop-b");
    errno = 0;
    EXPECT_FALSE(ReplaceFileContent(dir / "loop-a", "x"));
    EXPECT_EQ(errno, ELOOP);
}

// Runs check in a forked child that is not the superuser, whose writes no mode bit stops; the
// folder is handed to that user. Returns the child's exit code: 77 when no unprivileged user
// could be taken, -1 when the child did not end by itself.
int ExitCodeAsUnprivilegedUser(const std::string& folder, const std::function<int()>& check) {
    const uid_t kNobody = 65534;
    const bool root = geteuid() == 0;
    if (root && chown(folder.c_str(), kNobody, kNobody) != 0) return 77;
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (root && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(77);
        _exit(check());
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ReplaceFileContent, AFileTheUserMayNotWriteIsNotReplacedThoughTheFolderIsWritable) {
    test::TempDir dir;
    const std::string path = dir / "hoardwise.INI";
    const std::string link = dir / "link.INI";
    const int code = ExitCodeAsUnprivilegedUser(dir.path(), [&] {
        if (!ReplaceFileContent(path, "old\n")) return 1;  // this user may write here at all
        if (chmod(path.c_str(), 0444) != 0 || symlink("hoardwise.INI", link.c_str()) != 0) return 2;
        errno = 0;
        if (ReplaceFileContent(path, "new\n")) return 3;
        if (errno != EACCES) return 4;
        if (IniWriteString(link, "S", "K", "new")) return 5;
        return 0;
    });
    if (code == 77) GTEST_SKIP() << "no unprivileged user to write as";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(test::ReadFile(path), "old\n");
    EXPECT_EQ(ModeOf(path), 0444u);
    EXPECT_EQ(FileCount(dir.path()), 2);  // the file and the link, no temporary file
}

TEST(ReadWholeFile, PipesAndDevicesAreNotReadAndNotReplaced) {
    test::TempDir dir;
    const std::string pipe = dir / "pipe.INI";
    const std::string device = dir / "device.INI";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    // The link leads to a device of the test's own, which reads like /dev/zero.
    if (!test::MakeSpecial("device", dir / "zero")) GTEST_SKIP() << "no device can be made here";
    fs::create_symlink(dir / "zero", device);
    for (const std::string& path : {pipe, device}) {
        std::string content;
        errno = 0;
        EXPECT_FALSE(ReadWholeFile(path, content)) << path;
        EXPECT_EQ(errno, EINVAL) << path;
        EXPECT_EQ(IniReadString(path, "S", "K"), "NULL") << path;
        EXPECT_FALSE(IniWriteString(path, "S", "K", "1")) << path;
    }
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_TRUE(fs::is_symlink(device));
    EXPECT_EQ(FileCount(dir.path()), 3);
}

}  // namespace
}  // namespace hw
