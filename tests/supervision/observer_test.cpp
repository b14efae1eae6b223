#include <gtest/gtest.h>

#include <cstdlib>

#include "support/fake_services.h"

namespace hw {
namespace {

TEST(Observer, RestartsAWatchedClientThatIsMissingAndOnlyThen) {
    struct Case {
        bool watch;
        std::vector<std::string> running;
        int starts;
        int queries;
    };
    for (const Case& c :
         {Case{true, {}, 1, 1}, Case{true, {"EMULE.EXE"}, 0, 1}, Case{false, {}, 0, 0}}) {
        test::FakeDesktop desk;
        MainForm& f = desk.f();
        f.clientExe = "emule.exe";
        f.edit_clientdir.setText("/home/u/.wine/drive_c/Program Files/eMule");
        f.cb_watchclient.setChecked(c.watch);
        desk.processes.running = c.running;
        f.timer_observer.tick();
        ASSERT_EQ(static_cast<int>(desk.starter.started.size()), c.starts);
        EXPECT_EQ(desk.processes.queries, c.queries);  // watch off: no look at the processes
        EXPECT_EQ(desk.window.broughtToFront, c.starts);
        if (c.starts) {
            EXPECT_EQ(desk.starter.started[0],
                      "/home/u/.wine/drive_c/Program Files/eMule/emule.exe");
        }
    }
}

// For an aMule configuration folder, either of aMule's programs counts when it runs on that
// folder; aMule is started from PATH on it, told the folder unless it is its default one.
TEST(Observer, AMuleCountsOnItsOwnConfigurationAndIsStartedOnIt) {
    test::TempDir home;
    const std::string own = home / ".aMule";
    const std::string other = home / "server";
    for (const std::string& folder : {own, other}) test::WriteFile(folder + "/amule.conf", "");
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("PATH", home.path().c_str(), 1);  // no aMule installed: started by its bare name
    struct Case {
        std::string folder;
        std::vector<std::vector<std::string>> running;
        std::string started;  // empty: counted as running
    };
    const Case cases[] = {
        {other, {{"amuled", "--config-dir=" + other}}, ""},
        {other, {{"amule", "-c", other + "/"}}, ""},
        {other, {{"amuled"}}, "amuled --config-dir=" + other},
        {own, {{"amuled", "-f"}}, ""},
        {own, {{"amuled", "--config-dir", other}}, "amuled"},
    };
    for (const Case& c : cases) {
        test::FakeDesktop desk;
        MainForm& f = desk.f();
        f.clientExe = "amuled";
        f.edit_clientdir.setText(c.folder);
        f.cb_watchclient.setChecked(true);
        for (const auto& process : c.running) desk.processes.running.push_back(process[0]);
        desk.processes.arguments = c.running;
        f.timer_observer.tick();
        EXPECT_EQ(desk.starter.started, c.started.empty() ? std::vector<std::string>{}
                                                          : std::vector<std::string>{c.started});
    }
    ::setenv("HOME", oldHome.c_str(), 1);
    ::setenv("PATH", oldPath.c_str(), 1);
}

TEST(Observer, AFailingStartIsRetriedSilentlyEveryTick) {
    test::FakeDesktop desk;
    desk.f().clientExe = "emule.exe";
    desk.f().cb_watchclient.setChecked(true);
    desk.starter.succeed = false;
    for (int i = 0; i < 3; ++i) desk.f().timer_observer.tick();
    EXPECT_EQ(desk.starter.started.size(), 3u);
    EXPECT_TRUE(desk.dialogs.shown.empty());
}

TEST(AppRunner, TheWatchCountsOnlyWhileTheStartBoxEnablesIt) {
    struct Case {
        bool startup;
        bool watch;
        bool running;
        int starts;
    };
    for (const Case& c : {Case{true, true, false, 1}, Case{true, true, true, 0},
                          Case{false, true, false, 0}, Case{true, false, false, 0}}) {
        test::FakeDesktop desk;
        MainForm& f = desk.f();
        f.edit_launchpad_path.setText("/opt/my tools/sync.sh");
        f.cb_lauchpad_watch.setChecked(c.watch);
        f.cb_lauchpad_startup.setChecked(c.startup);
        EXPECT_EQ(f.cb_lauchpad_watch.enabled(), c.startup);
        EXPECT_EQ(f.edit_launchpad_path.enabled(), c.startup);
        EXPECT_EQ(f.btn_browselaunchpad.enabled(), c.startup);
        EXPECT_FALSE(f.Label11.enabled());
        if (c.running) desk.processes.running = {"sync.sh"};
        f.timer_observer.tick();
        EXPECT_EQ(static_cast<int>(desk.starter.started.size()), c.starts);
        if (c.starts) {
            EXPECT_EQ(desk.starter.started[0], "/opt/my tools/sync.sh");
        }
        EXPECT_EQ(f.cb_lauchpad_watch.checked(), c.watch);  // the mark stays while disabled
    }
}

TEST(AppRunner, BrowseOpensOnTheFolderOfThePathAndCancelKeepsIt) {
    test::FakeDesktop desk;
    MainForm& f = desk.f();
    f.cb_lauchpad_startup.setChecked(true);
    f.edit_launchpad_path.setText("/opt/tools/old.sh");
    f.btn_browselaunchpad.userClick();  // cancelled
    EXPECT_EQ(f.edit_launchpad_path.text(), "/opt/tools/old.sh");
    desk.dialogs.fileAnswers = {{"/usr/bin/new tool"}};
    f.btn_browselaunchpad.userClick();
    EXPECT_EQ(f.edit_launchpad_path.text(), "/usr/bin/new tool");
    EXPECT_EQ(f.launchpad_path_text.de, "/usr/bin/new tool");
    ASSERT_EQ(desk.dialogs.shown.size(), 2u);
    EXPECT_EQ(desk.dialogs.shown[0].caption, "/opt/tools");
    EXPECT_EQ(desk.dialogs.shown[1].caption, "/opt/tools");
    f.edit_launchpad_path.setText("/run.sh");
    f.btn_browselaunchpad.userClick();
    EXPECT_EQ(desk.dialogs.shown[2].caption, "/");

    // A typed path stays over a language switch; a placeholder follows the language.
    f.ApplyLanguage("DE");
    EXPECT_EQ(f.edit_launchpad_path.text(), "/run.sh");
    test::FakeDesktop german;
    german.f().ApplyLanguage("DE");
    german.f().ApplyLanguage("DE");  // the first apply still runs under the built-in language
    german.f().edit_launchpad_path.setText("Click Browse to select an executable");
    EXPECT_EQ(german.f().edit_launchpad_path.text(),
              "Klicke Suchen, um eine Anwendung auszuwählen");
}

}  // namespace
}  // namespace hw
