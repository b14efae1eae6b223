#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <tuple>

#include "settings/autostart_linux.h"
#include "settings/ini_file.h"
#include "support/fake_services.h"

namespace hw {
namespace {

const char* const kEntryName = "hoardwise.desktop";

std::string Entry(const std::string& exec, const std::string& tryExec) {
    return "[Desktop Entry]\nType=Application\nName=Hoardwise 2.11\nExec=" + exec +
           "\nTryExec=" + tryExec + "\n";
}

TEST(LinuxAutostart, OnWritesTheEntryCreatingTheFolderAndOffRemovesIt) {
    test::TempDir dir;
    const std::string folder = dir / "config/autostart";
    LinuxAutostart autostart("/opt/hw/hoardwise", folder);
    EXPECT_EQ(autostart.EntryPath(), folder + "/" + kEntryName);

    ASSERT_TRUE(autostart.SetAutostart(true));
    EXPECT_EQ(test::ReadFile(folder + "/" + kEntryName),
              Entry("\"/opt/hw/hoardwise\"", "/opt/hw/hoardwise"));

    test::WriteFile(folder + "/other.desktop", "[Desktop Entry]\n");
    LinuxAutostart moved("/home/u/hw/hoardwise", folder);  // follows the program at each save
    ASSERT_TRUE(moved.SetAutostart(true));
    EXPECT_EQ(test::ReadFile(folder + "/" + kEntryName),
              Entry("\"/home/u/hw/hoardwise\"", "/home/u/hw/hoardwise"));

    EXPECT_TRUE(moved.SetAutostart(false));
    EXPECT_FALSE(test::FileExists(folder + "/" + kEntryName));
    EXPECT_TRUE(test::FileExists(folder + "/other.desktop"));
    EXPECT_TRUE(moved.SetAutostart(false));  // already absent: silent success
    EXPECT_TRUE(LinuxAutostart("/opt/hw/hoardwise", dir / "never/made").SetAutostart(false));
}

// An entry an older version left under its versioned name is taken over by either setting;
// one the user changed, one of another name and a link stay. Rows: name, text, removed.
TEST(LinuxAutostart, OnAndOffTakeOverAnOlderVersionsEntryAndNothingElse) {
    const std::string old = Entry("\"/opt/hw old/hoardwise\"", "/opt/hw old/hoardwise");
    // clang-format off
    const std::tuple<const char*, std::string, bool> cases[] = {
        {"Hoardwise 2.10.desktop", old, true},
        {"Hoardwise 2.11.desktop", old + "Hidden=true\n", false},
        {"Hoardwise 2.11.desktop", old.substr(0, old.size() - 1), false},
        {"Other 2.11.desktop", old, false}};
    // clang-format on
    for (const bool on : {true, false}) {
        for (const auto& [name, content, removed] : cases) {
            test::TempDir dir;
            test::WriteFile(dir / name, content);
            test::WriteFile(dir / "elsewhere", old);
            ASSERT_EQ(symlink("elsewhere", (dir / "Hoardwise 2.09.desktop").c_str()), 0);
            ASSERT_TRUE(LinuxAutostart("/opt/hw/hoardwise", dir.path()).SetAutostart(on));
            EXPECT_EQ(test::FileExists(dir / name), !removed) << name << on;
            EXPECT_EQ(test::FileExists(dir / kEntryName), on);
            EXPECT_EQ(test::ReadFile(dir / "Hoardwise 2.09.desktop"), old);
        }
    }
}

TEST(LinuxAutostart, PathsWithBlanksAndReservedCharactersStayOneCommand) {
    struct Case {
        std::string path;
        std::string exec;
        std::string tryExec;
    };
    for (const Case& c : {
             Case{"/home/u/my apps/hoardwise", "\"/home/u/my apps/hoardwise\"",
                  "/home/u/my apps/hoardwise"},
             Case{"/x/a\"b", "\"/x/a\\\\\"b\"", "/x/a\"b"},
             Case{"/x/a\\b", "\"/x/a\\\\\\\\b\"", "/x/a\\\\b"},
             Case{"/x/$HOME`id`", "\"/x/\\\\$HOME\\\\`id\\\\`\"", "/x/$HOME`id`"},
             Case{"/x/100%d", "\"/x/100%%d\"", "/x/100%d"},
             Case{"/x/a\tb", "\"/x/a\\tb\"", "/x/a\\tb"},
         }) {
        test::TempDir dir;
        LinuxAutostart autostart(c.path, dir.path());
        ASSERT_TRUE(autostart.SetAutostart(true)) << c.path;
        EXPECT_EQ(test::ReadFile(dir / kEntryName), Entry(c.exec, c.tryExec)) << c.path;
    }
}

TEST(LinuxAutostart, UnwritableFolderFailsSilentlyAndTheSettingsAreStillSaved) {
    test::FakeDesktop desk;
    test::WriteFile(desk.home / "plain", "x");
    LinuxAutostart autostart(desk.f().services.executablePath, desk.home / "plain/autostart");
    EXPECT_FALSE(autostart.SetAutostart(true));
    EXPECT_FALSE(autostart.SetAutostart(false));

    Services services = desk.services();
    services.executablePath = desk.f().services.executablePath;
    services.autostart = &autostart;
    MainForm form(services);
    form.FormCreate();
    form.cb_boot.setChecked(true);
    const std::string lastBackup = form.label_lastbackup.caption();
    form.Dispatch([&] { form.btn_savesettings.userClick(); });
    EXPECT_TRUE(desk.dialogs.shown.empty());
    // The status line tells that the save was done, the last backup still behind it.
    EXPECT_EQ(form.label_lastbackup.caption(), "Settings saved. " + lastBackup);
    const std::string saved = test::ReadFile(form.SettingsFilePath());
    EXPECT_EQ(IniFindValue(saved, "GENERAL SETTINGS", "START WITH WINDOWS"), "TRUE");
    EXPECT_EQ(IniFindValue(saved, "LAUNCHPAD", "RESTART"), "FALSE");
}

TEST(LinuxAutostart, DefaultFolderComesFromThePasswordDatabaseNotTheEnvironment) {
    const char* oldHome = std::getenv("HOME");
    const std::string saved = oldHome ? oldHome : "";
    setenv("HOME", "/nonexistent-home-from-environment", 1);
    const std::string folder = LinuxAutostart::DefaultFolder();
    if (oldHome) {
        setenv("HOME", saved.c_str(), 1);
    } else {
        unsetenv("HOME");
    }
    const passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(folder, std::string(user->pw_dir) + "/.config/autostart");
}

}  // namespace
}  // namespace hw
