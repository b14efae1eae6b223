#include "settings/settings_location.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "settings/ini_file.h"
#include "support/fake_services.h"

namespace hw {
namespace {

TEST(SettingsLocation, BesideTheExecutableUnlessItsFolderRefusesWritesAndHoldsNoFile) {
    test::TempDir dir;
    test::WriteFile(dir / "ro/hoardwise.INI", "[GENERAL SETTINGS]\nLANGUAGE=DE\n");
    struct Case {
        std::string exe;
        bool refuses;
        std::string xdg;
        std::string home;
        std::string expected;
    };
    for (const Case& c : {
             // a copy in the user's own folder: the config folder is never looked at
             Case{"/home/u/hw/hoardwise", false, "/cfg", "/home/u", "/home/u/hw/hoardwise.INI"},
             // installed: the user's config folder, XDG_CONFIG_HOME first
             Case{"/usr/bin/hoardwise", true, "/cfg", "/home/u", "/cfg/hoardwise/hoardwise.INI"},
             Case{"/usr/bin/hoardwise", true, "/cfg/", "/home/u", "/cfg/hoardwise/hoardwise.INI"},
             Case{"/usr/bin/hoardwise", true, "", "/home/u",
                  "/home/u/.config/hoardwise/hoardwise.INI"},
             Case{"/usr/bin/hoardwise", true, "cfg", "/home/u/",
                  "/home/u/.config/hoardwise/hoardwise.INI"},
             // an existing file beside a read-only executable is kept
             Case{dir / "ro/hoardwise", true, "/cfg", "/home/u", dir / "ro/hoardwise.INI"},
             // no full path anywhere: the classic place, whose save names the file it failed
             Case{"/usr/bin/hoardwise", true, "", "", "/usr/bin/hoardwise.INI"},
             Case{"/usr/bin/hoardwise", true, "cfg", "home", "/usr/bin/hoardwise.INI"},
             Case{"", true, "/cfg", "/home/u", ""},
         }) {
        SCOPED_TRACE(c.exe + " refuses=" + std::to_string(c.refuses) + " xdg=" + c.xdg);
        std::vector<std::string> asked;
        auto refuses = [&](const std::string& folder) {
            asked.push_back(folder);
            return c.refuses;
        };
        EXPECT_EQ(SettingsLocation(c.exe, c.xdg, c.home, refuses), c.expected);
        if (c.exe == "/usr/bin/hoardwise") {
            EXPECT_EQ(asked, std::vector<std::string>{"/usr/bin"});
        }
    }
}

TEST(SettingsLocation, OnlyAFolderThatRefusesThisUserCountsAsReadOnly) {
    test::TempDir dir;
    test::WriteFile(dir / "file", "x");
    EXPECT_FALSE(FolderRefusesWrites(dir.path()));
    EXPECT_FALSE(FolderRefusesWrites(dir / "missing"));
    EXPECT_FALSE(FolderRefusesWrites(dir / "file"));  // its save reports the failure instead
    for (const char* installed : {"/usr/bin", "/usr/local/bin", "/bin"}) {  // also for root
        EXPECT_TRUE(FolderRefusesWrites(installed)) << installed;
    }
    EXPECT_FALSE(FolderRefusesWrites("/usrlocal"));
    // The refusing case needs a user without root's override: see the installed-copy test.
}

TEST(SettingsLocation, CreatesMissingConfigFoldersPrivately) {
    test::TempDir dir;
    ASSERT_TRUE(CreatePrivateFolders(dir / "a/b/c"));
    for (const char* folder : {"a", "a/b", "a/b/c"}) {
        struct stat info {};
        ASSERT_EQ(stat((dir / folder).c_str(), &info), 0) << folder;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
    }
    EXPECT_TRUE(CreatePrivateFolders(dir / "a/b/c/"));  // existing: fine
    test::WriteFile(dir / "file", "x");
    EXPECT_FALSE(CreatePrivateFolders(dir / "file"));
    EXPECT_FALSE(CreatePrivateFolders(dir / "file/sub"));
}

// Runs in a child process as an ordinary user (nobody, when the tests run as root, whose
// access() would find every folder writable): saves from a copy whose folder is read-only.
// Returns the number of error reports shown, or 100 and more when the set-up failed.
int SaveAsOrdinaryUserFromReadOnlyFolder(const std::string& exe, const std::string& configHome) {
    if (setenv("XDG_CONFIG_HOME", configHome.c_str(), 1) != 0) return 100;
    if (geteuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody || setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 ||
            setuid(nobody->pw_uid) != 0) {
            return 101;
        }
    }
    test::FakeDesktop desk(exe);
    desk.f().FormCreate();
    desk.f().clientExe = "amule";
    desk.f().Dispatch([&] { desk.f().btn_savesettings.userClick(); });
    const int reports = desk.dialogs.count(test::Shown::Kind::ErrorReport);
    test::FakeDesktop again(exe);  // the next start reads what was saved
    again.f().FormCreate();
    if (again.f().clientExe != "amule") return 102;
    return reports;
}

TEST(SettingsLocation, AnInstalledCopySavesIntoThePrivateConfigFolderWithoutAnError) {
    test::TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);  // the child's user must pass through
    test::WriteFile(dir / "bin/hoardwise", "");
    ASSERT_EQ(chmod((dir / "bin").c_str(), 0555), 0);
    ASSERT_TRUE(CreatePrivateFolders(dir / "home"));
    if (geteuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        ASSERT_NE(nobody, nullptr);
        ASSERT_EQ(chown((dir / "home").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    const std::string configHome = dir / "home/cfg";

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(SaveAsOrdinaryUserFromReadOnlyFolder(dir / "bin/hoardwise", configHome));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    EXPECT_FALSE(test::FileExists(dir / "bin/hoardwise.INI"));
    const std::string saved = test::ReadFile(configHome + "/hoardwise/hoardwise.INI");
    EXPECT_EQ(IniFindValue(saved, "DIRECTORIES", "CLIENTEXE"), "amule");
    EXPECT_EQ(IniFindValue(saved, "LAUNCHPAD", "RESTART"), "FALSE");  // the whole save went
    for (const std::string& folder : {configHome, configHome + "/hoardwise"}) {
        struct stat info {};
        ASSERT_EQ(stat(folder.c_str(), &info), 0) << folder;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
    }
}

}  // namespace
}  // namespace hw
