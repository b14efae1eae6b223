#include "supervision/observer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "supervision/restart_guard.h"
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

// Each row: S(tart), E(nd: + when it begins a hold) or M(ay start: + or -), at a second.
TEST(RestartGuard, HoldsAfterThreeQuickEndsBacksOffAndStartsAfreshAfterALongRunOrTheUser) {
    // clang-format off
    const char* const rows[] = {
        "S0 E10- M10+ S10 E20- S20 E30+ M89- M90+ S90 E95- M214- M215+ S215 E216- M515- M516+",
        "S0 E1- S1 E2- S2 E3+ S63 E64- S184 E185- S485 E486- S1086 E1087- M1686- M1687+",
        "S0 E1- S1 E2- S2 E3+ S63 E200- M200+ S200 E201- S201 E202- M202+",  // a long run
        "S0 E1- S1 E2- S2 E3+ R M4+ S4 E5- S5 E6- S6 E7+",                   // the user
        "E1- E2- E3- S3 E33- S33 E63- S63 E93+",  // ends not of our starts; 30 s is quick
        "S0 E31- S31 E61- S61 E91- M91+",          // 31 s is not
        "S100 E101- S101 E102- S102 E103+ M50+",                              // clock put back
    };
    // clang-format on
    for (const char* row : rows) {
        SCOPED_TRACE(row);
        RestartGuard guard;
        std::istringstream steps(row);
        for (std::string step; steps >> step;) {
            const std::time_t at = std::atol(step.c_str() + 1);
            const bool expected = step.back() == '+';
            if (step[0] == 'S') guard.Started(at);
            if (step[0] == 'R') guard.Reset();
            if (step[0] == 'E') {
                EXPECT_EQ(guard.Ended(at), expected) << step;
            } else if (step[0] == 'M') {
                EXPECT_EQ(guard.MayStart(at), expected) << step;
            }
        }
    }
}

// aMule whose lock names another live process quits at once each time it is started.
TEST(Observer, AClientEndingRightAfterEachStartIsHeldToldOnceAndTriedAgain) {
    for (const bool tray : {false, true}) {
        SCOPED_TRACE(tray ? "tray notice" : "log line");
        test::FakeDesktop desk;
        MainForm& f = desk.f();
        const std::string config = desk.home / "config";
        test::WriteFile(config + "/amule.conf", "");
        test::WriteFile(config + "/muleLock", std::to_string(getpid()) + std::string(1, '\0'));
        std::time_t clock = 1000;
        f.now = [&clock] { return clock; };
        std::vector<std::string> told;
        if (!tray) f.onRestartsHeld = [&told](const std::string& line) { told.push_back(line); };
        f.ApplyLanguage("EN");
        f.clientExe = "amuled";
        f.edit_clientdir.setText(config);
        f.cb_watchclient.setChecked(true);
        desk.starter.watched = true;
        f.timer_observer.tick();
        for (int end = 0; end < 4; ++end) {  // the fourth finds nothing to end
            if (end < static_cast<int>(desk.starter.endings.size())) {
                *desk.starter.endings[end] = {true, 255 << 8};
            }
            f.StartedProgramEnded();
        }
        EXPECT_EQ(desk.starter.started.size(), 3u);
        EXPECT_TRUE(f.EndWatchDescriptors().empty());
        if (tray) {
            f.timer_observer.tick();  // no icon shown: the notice waits for it
            EXPECT_EQ(f.abfTrayIcon1.noticeCount(), 0u);
            f.btn_minimize.userClick();
        }
        f.timer_observer.tick();
        f.timer_observer.tick();
        const std::string text = tray ? f.abfTrayIcon1.noticeText() : told.at(0);
        for (const std::string& part : std::vector<std::string>{
                 "Not restarted for now", "amuled", "Last exit code: 255",
                 config + "/muleLock names process " + std::to_string(getpid()),
                 config + "/logfile", "at once when its box is ticked again"}) {
            EXPECT_NE(text.find(part), std::string::npos) << part << " in " << text;
        }
        clock += 59;  // held until the pause has run out; the count only grows
        f.timer_observer.tick();
        EXPECT_EQ(desk.starter.started.size(), 3u);
        clock += 1;
        f.timer_observer.tick();  // the pause has run out
        EXPECT_EQ(desk.starter.started.size(), 4u);
        *desk.starter.endings[3] = {true, {}};
        f.StartedProgramEnded();  // held again, not told again
        f.cb_watchclient.userClick();
        EXPECT_EQ(desk.starter.started.size(), 4u);
        f.cb_watchclient.userClick();  // ticked anew
        EXPECT_EQ(desk.starter.started.size(), 5u);
        EXPECT_EQ(tray ? f.abfTrayIcon1.noticeCount() : told.size(), 1u);
    }
}

// The supervisor on values alone, as the command line drives it: a start of ours is watched (no
// process look while it runs), quick ends hold it with the facts of the notice, and another
// program in the field starts afresh.
TEST(Supervisor, WatchesItsStartHoldsQuickEndsWithTheirFactsAndStartsAfreshForAnotherProgram) {
    test::FakeProcessTable processes;
    test::FakeStarter starter;
    starter.watched = true;
    int fronts = 0;
    int changes = 0;
    const SupervisorTools tools{processes, starter, [] { return std::time_t{1000}; },
                                [&fronts] { ++fronts; }, [&changes] { ++changes; }};
    WatchTargets targets;
    targets.appRunner = true;
    targets.appRunnerPath = "/opt/tools/sync.sh";
    Supervisor supervisor;
    supervisor.Tick(targets, tools);
    const int queries = processes.queries;
    supervisor.Tick(targets, tools);
    EXPECT_EQ(processes.queries, queries) << "a start of ours that runs needs no look";
    EXPECT_EQ(supervisor.EndWatchDescriptors(), std::vector<int>{0});
    for (int end = 0; end < 3; ++end) {
        *starter.endings[end] = {true, 1 << 8};
        supervisor.StartedProgramEnded(targets, tools);
    }
    EXPECT_EQ(starter.started, std::vector<std::string>(3, "/opt/tools/sync.sh"));
    EXPECT_EQ(fronts, 3);
    EXPECT_EQ(changes, 6);  // each start, each end
    EXPECT_FALSE(supervisor.ReapPending());
    const std::vector<HeldBack> due = supervisor.DueNotices(targets, processes);
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].program, Watched::AppRunner);
    EXPECT_EQ(due[0].name, "/opt/tools/sync.sh");
    EXPECT_EQ(due[0].exitStatus, 1 << 8);
    EXPECT_FALSE(due[0].amule);
    EXPECT_EQ(supervisor.DueNotices(targets, processes).size(), 1u) << "due until given";
    supervisor.NoticeGiven(Watched::AppRunner);
    EXPECT_TRUE(supervisor.DueNotices(targets, processes).empty());
    supervisor.Tick(targets, tools);
    EXPECT_EQ(starter.started.size(), 3u) << "held";
    targets.appRunnerPath = "/opt/tools/other.sh";
    supervisor.Tick(targets, tools);
    EXPECT_EQ(starter.started.back(), "/opt/tools/other.sh");
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
