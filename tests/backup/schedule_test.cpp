#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "backup/backup_fixture.h"
#include "backup/run_history.h"
#include "support/fake_services.h"

namespace hw {
namespace {

using test::Shown;

std::string HourMinute(std::time_t when) {
    char text[8] = {};
    struct tm local {};
    std::strftime(text, sizeof text, "%H:%M", ::localtime_r(&when, &local));
    return text;
}

struct Schedule : ::testing::Test {
    test::FakeDesktop desk;
    MainForm& f = desk.f();
    void SetUp() override {
        f.ApplyLanguage("EN");
        f.clientExe = "emule.exe";
    }
};

TEST_F(Schedule, LeavingTheMinutesFieldHoldsItToTheRangeOrReportsANonNumber) {
    struct Case {
        const char* typed;
        const char* shown;  // the field afterwards
        int rangeMessages;  // "Values allowed only from 1-120 minutes !"
        int errorReports;   // the conversion error
        int intervalMs;
    };
    for (const Case& c : {Case{"0", "30", 1, 0, 1800000}, Case{"121", "30", 1, 0, 1800000},
                          Case{"1", "1", 0, 0, 60000}, Case{"120", "120", 0, 0, 7200000},
                          Case{"abc", "abc", 0, 1, 60000}}) {
        SCOPED_TRACE(c.typed);
        test::FakeDesktop d;
        MainForm& form = d.f();
        form.ApplyLanguage("EN");
        form.clientExe = "emule.exe";
        form.cb_autobackup.setChecked(true);
        form.edit_autobackup.userTyped(c.typed);
        form.Dispatch([&] { form.edit_autobackup.userLeft(); });
        EXPECT_EQ(form.edit_autobackup.text(), c.shown);
        EXPECT_EQ(d.dialogs.count(Shown::Kind::Message), c.rangeMessages);
        EXPECT_EQ(d.dialogs.count(Shown::Kind::ErrorReport), c.errorReports);
        EXPECT_EQ(form.timer_autobackup.interval(), c.intervalMs);
        if (c.errorReports) {
            EXPECT_EQ(d.dialogs.shown[0].text, "'abc' ist kein gültiger Integerwert.");
        } else {
            EXPECT_EQ(form.abfTrayIcon1.hint(),
                      "Hoardwise [Autobackup every " + std::string(c.shown) + " ] minutes");
        }
    }
}

TEST_F(Schedule, TheObserverHoldsWhatWasTypedWithinOneTickAndNeverAsks) {
    for (auto [typed, held, ms] : {std::tuple{"500", "120", 7200000}, std::tuple{"0", "1", 60000},
                                   std::tuple{"x", "30", 1800000}}) {
        SCOPED_TRACE(typed);
        f.edit_autobackup.userTyped(typed);
        f.timer_observer.tick();
        EXPECT_EQ(f.edit_autobackup.text(), held);
        EXPECT_EQ(f.timer_autobackup.interval(), ms);
        f.edit_autobackup.userLeft();
    }
    EXPECT_TRUE(desk.dialogs.shown.empty());
    EXPECT_EQ(f.abfTrayIcon1.hint(), "Autobackup disabled");
}

TEST_F(Schedule, ANewPeriodRestartsTheCountdownAnEqualOneDoesNot) {
    f.cb_autobackup.setChecked(true);
    f.ApplyAutobackupInterval(30);
    const unsigned at30 = f.timer_autobackup.countdownGeneration();
    f.ApplyAutobackupInterval(30);
    f.timer_observer.tick();
    EXPECT_EQ(f.timer_autobackup.countdownGeneration(), at30);
    f.ApplyAutobackupInterval(45);
    EXPECT_EQ(f.timer_autobackup.countdownGeneration(), at30 + 1);
    EXPECT_EQ(f.timer_autobackup.interval(), 45 * 60000);
    // A spin step applies the value it moves to, at once.
    f.UpDown1.userStep(+1);
    EXPECT_EQ(f.edit_autobackup.text(), "46");
    EXPECT_EQ(f.timer_autobackup.interval(), 46 * 60000);
    EXPECT_EQ(f.abfTrayIcon1.hint(), "Hoardwise [Autobackup every 46 ] minutes");
}

TEST_F(Schedule, TheTrayMenuSwitchesAtOnceAndTheHintFollowsAtTheNextTick) {
    f.pop_enabledisable.userClick();
    EXPECT_TRUE(f.cb_autobackup.checked());
    EXPECT_TRUE(f.timer_autobackup.running());
    EXPECT_EQ(f.pop_enabledisable.caption(), "Disable Autobackup");
    f.timer_observer.tick();
    EXPECT_EQ(f.abfTrayIcon1.hint(), "Hoardwise [Autobackup every 30 ] minutes");
    f.pop_enabledisable.userClick();
    EXPECT_FALSE(f.timer_autobackup.running());
    EXPECT_EQ(f.pop_enabledisable.caption(), "Enable Autobackup");

    f.ApplyLanguage("DE");
    f.timer_observer.tick();
    EXPECT_EQ(f.abfTrayIcon1.hint(), "Autobackup deaktiviert");
    f.cb_autobackup.userClick();
    EXPECT_EQ(f.pop_enabledisable.caption(), "Autobackup deaktivieren");
    f.timer_observer.tick();
    EXPECT_EQ(f.abfTrayIcon1.hint(), "Hoardwise [Autobackup alle 30 ] Minuten");
}

// The window and the tray tell when the last backup ran and how it ended, also after a restart;
// without a client automatic backups never run, and the status says they wait for one.
TEST(LastBackup, TheStatusTellsHowTheLastBackupEndedAndThatAutomaticBackupsWaitForAClient) {
    test::BackupDesk d;
    MainForm& f = d.f();
    std::time_t clock = 1796646060;  // a fixed moment; the text shows its local time
    f.now = [&] { return clock; };
    d.desk.processes.running = {"emule.exe"};
    f.cb_autobackup.setChecked(true);
    f.ApplyAutobackupInterval(30);  // as the settings' load does; the countdown starts
    const std::string next = "; next automatic backup at " + HourMinute(clock + 30 * 60);
    EXPECT_EQ(f.label_lastbackup.caption(), "Last backup: none yet" + next);
    EXPECT_EQ(f.abfTrayIcon1.hint(), "Hoardwise [Autobackup every 30 ] minutes");

    test::WriteFile(d.T + "/001.part.met", test::PartMet("1"));
    test::WriteFile(d.T + "/002.part.met", test::PartMet("2"));
    f.BackupPartFiles(false);
    char time[8] = {};
    struct tm local {};
    std::strftime(time, sizeof time, "%H:%M", ::localtime_r(&clock, &local));
    EXPECT_EQ(f.abfTrayIcon1.detail(),
              "Last backup: " + std::string(time) + ", 2 part files, successful");
    EXPECT_EQ(f.label_lastbackup.caption(),
              "Last: " + std::string(time) + ", 2 part files, successful" + next);

    clock += 86400;  // a day later the date is shown as well
    f.edit_backupdir.setText("relative/backup");
    f.BackupPartFiles(true);
    const std::string failed = f.abfTrayIcon1.detail();
    EXPECT_EQ(failed.rfind("Last backup: ", 0), 0u) << failed;
    EXPECT_NE(
        failed.find(" " + std::string(time) + ", failed: The Backup-Directory must be a full"),
        std::string::npos)
        << failed;

    test::FakeDesktop restarted;  // the line comes back from the history
    restarted.f().historyFile = f.historyFile;
    restarted.f().ApplyLanguage("DE");
    restarted.f().LoadLastBackup();
    EXPECT_EQ(restarted.f().label_lastbackup.caption().rfind("Zuletzt: ", 0), 0u);
    EXPECT_NE(restarted.f().abfTrayIcon1.detail().find(", fehlgeschlagen: "), std::string::npos);

    f.clientExe.clear();
    f.edit_clientdir.setText(d.root / "nothing");
    f.RefreshStatusText();
    EXPECT_EQ(f.abfTrayIcon1.hint(), "Hoardwise [Autobackup waits for a client: set its folder]");
}

// The page keeps the last successful backup in sight after later runs failed, says when the
// schedule backs up next, and follows a language switch at once.
TEST(LastBackup, TheLineKeepsTheLastSuccessBesideALaterFailureAndTellsTheNextAutomaticRun) {
    test::BackupDesk d;
    MainForm& f = d.f();
    std::time_t clock = 1796646060;
    f.now = [&] { return clock; };
    d.desk.processes.running = {"emule.exe"};
    f.cb_autobackup.userClick();
    f.ApplyAutobackupInterval(30);
    const std::time_t started = clock;
    auto next = [&](std::time_t from) {
        return "; next automatic backup at " + HourMinute(from + 30 * 60);
    };
    EXPECT_EQ(f.label_lastbackup.caption(), "Last backup: none yet" + next(started));

    test::WriteFile(d.T + "/001.part.met", test::PartMet("1"));
    f.BackupPartFiles(false);
    const std::string success = "Last: " + HourMinute(clock) + ", 1 part files, successful";
    clock += 600;
    test::WriteFile(d.B + "/letter.txt", "not ours");  // refused
    f.BackupPartFiles(false);
    const std::string failure = "; last run failed at " + HourMinute(clock) + ": ";
    const std::string line = f.label_lastbackup.caption();
    EXPECT_EQ(line.rfind(success + failure, 0), 0u) << line;
    EXPECT_NE(line.find(next(started)), std::string::npos) << line;
    // The same after a restart, from the history.
    test::FakeDesktop restarted;
    restarted.f().historyFile = f.historyFile;
    restarted.f().now = f.now;
    restarted.f().edit_backupdir.setText(d.B);
    restarted.f().LoadLastBackup();
    EXPECT_EQ(restarted.f().label_lastbackup.caption().rfind(success + failure, 0), 0u);

    // A period passes: the countdown starts again, the run succeeds.
    std::filesystem::remove(d.B + "/letter.txt");
    clock += 1800;
    f.timer_autobackup.tick();
    EXPECT_EQ(f.label_lastbackup.caption(),
              "Last: " + HourMinute(clock) + ", 1 part files, successful" + next(clock));
    // A new period restarts it too.
    clock += 60;
    f.ApplyAutobackupInterval(31);
    EXPECT_NE(f.label_lastbackup.caption().find(HourMinute(clock + 31 * 60)), std::string::npos);

    f.ApplyLanguage("DE");
    EXPECT_EQ(f.label_lastbackup.caption(), "Zuletzt: " + HourMinute(clock - 60) +
                                                ", 1 Part-Dateien, erfolgreich; nächste "
                                                "automatische Sicherung um " +
                                                HourMinute(clock + 31 * 60));
    f.cb_autobackup.userClick();
    EXPECT_EQ(f.label_lastbackup.caption().find("nächste"), std::string::npos);
}

// A temp folder that is gone is a failed run in the history; one without part files is an idle
// client, and an automatic run of it leaves no trace.
TEST(LastBackup, ARunWithoutItsTempFolderIsRecordedAsFailedNamingIt) {
    for (const bool automatic : {false, true}) {
        SCOPED_TRACE(automatic);
        test::BackupDesk d;
        MainForm& f = d.f();
        d.desk.processes.running = {"emule.exe"};
        f.BackupPartFiles(true);  // no part file
        EXPECT_TRUE(ReadRunHistory(f.historyFile).empty());
        const std::string gone = d.root / "unmounted";
        f.edit_tempdir.setText(gone);
        EXPECT_EQ(f.BackupPartFiles(automatic), MainForm::RunOutcome::Failed);
        const std::vector<RunRecord> runs = ReadRunHistory(f.historyFile);
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_FALSE(runs[0].succeeded);
        EXPECT_NE(runs[0].message.find("Temp-Directory does not exist"), std::string::npos);
        EXPECT_EQ(runs[0].message.substr(runs[0].message.size() - gone.size()), gone);
        EXPECT_EQ(d.messages().size(), automatic ? 0u : 1u);
        EXPECT_NE(f.label_lastbackup.caption().find("failed: "), std::string::npos);
    }
}

TEST_F(Schedule, SubfolderStoringWithTheBackupTextContainingTheTempTextWarnsEveryPeriod) {
    f.cb_autobackup.setChecked(true);
    f.msg_backup_in_temp = "The Backup-Directory must not be a subfolder of the Temp-Directory!";
    struct Case {
        const char* temp;
        const char* backup;
        bool subfolders;
        int warnings;
    };
    for (const Case& c :
         {Case{"/x", "/x/bak", true, 2}, Case{"/x", "/x2", true, 2}, Case{"", "/anything", true, 2},
          Case{"/x", "/x/bak", false, 0}, Case{"/x", "/y", true, 0}}) {
        SCOPED_TRACE(std::string(c.temp) + " " + c.backup);
        desk.dialogs.shown.clear();
        f.edit_tempdir.setText(c.temp);
        f.edit_backupdir.setText(c.backup);
        (c.subfolders ? f.radio_storing_subfolder : f.radio_storing_simple).setChecked(true);
        f.timer_autobackup.tick();
        f.timer_autobackup.tick();
        EXPECT_EQ(desk.dialogs.count(Shown::Kind::Message), c.warnings);
    }
    // The client is not running: the periods passed without a start of the backup's work.
    EXPECT_TRUE(desk.starter.started.empty());
}

TEST(AutomaticBackupNotice, AFailureIsAnnouncedOnceByTheIconUntilARunSucceeds) {
    test::BackupDesk d;
    MainForm& f = d.f();
    d.desk.processes.running = {"emule.exe"};
    f.cb_autobackup.setChecked(true);
    test::WriteFile(d.T + "/001.part.met", test::PartMet("state"));
    test::WriteFile(d.B + "/letter.txt", "not ours");  // refused, silently
    auto tick = [&] { f.timer_autobackup.tick(); };

    tick();  // the window is shown: no icon to speak, so nothing is lost either
    EXPECT_EQ(f.abfTrayIcon1.noticeCount(), 0u);
    f.btn_minimize.userClick();
    tick();
    tick();
    ASSERT_EQ(f.abfTrayIcon1.noticeCount(), 1u);
    EXPECT_EQ(f.abfTrayIcon1.noticeTitle(), "Hoardwise 2.11");
    EXPECT_NE(f.abfTrayIcon1.noticeText().find(f.msg_backupdir_foreign), std::string::npos);
    EXPECT_EQ(f.abfTrayIcon1.noticeText().rfind("The automatic backup failed:\n", 0), 0u);

    std::filesystem::remove(d.B + "/letter.txt");
    tick();  // succeeds and re-arms the notice
    EXPECT_TRUE(test::FileExists(d.B + "/001.part.met.HWS"));
    d.desk.processes.running.clear();
    tick();  // client not running: not a run, not a failure
    d.desk.processes.running = {"emule.exe"};
    test::WriteFile(d.B + "_old/letter.txt", "not ours");
    tick();
    tick();
    EXPECT_EQ(f.abfTrayIcon1.noticeCount(), 2u);
    EXPECT_TRUE(d.desk.dialogs.shown.empty());  // automatic runs still show no box
}

}  // namespace
}  // namespace hw
