#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <tuple>
#include <utility>

#include "backup/backup_fixture.h"
#include "backup/run_history.h"

namespace hw::test {
namespace {

namespace fs = std::filesystem;

const char* const kInTemp = "The Backup-Directory must not be a subfolder of the Temp-Directory!";
const char* const kQuestion = "Do you want to restore the backed-up files ?";

TEST(BackupCommand, TidiesEachFieldInTurnBeforeTheNextAndRunsWithTheTidiedTexts) {
    BackupDesk d;
    WriteFile(d.T + "/001.part.met", PartMet("1"));
    d.f().edit_tempdir.setText(d.T + "/");
    d.f().edit_backupdir.setText(d.B + "/");
    d.f().edit_clientdir.setText(d.C + "/");
    std::vector<std::string> seen;  // each handler sees the fields as they stand at that moment
    auto record = [&](const std::string& name) {
        return [&, name] {
            seen.push_back(name + ":" + d.f().edit_tempdir.text() + "|" +
                           d.f().edit_backupdir.text() + "|" + d.f().edit_clientdir.text());
        };
    };
    d.f().edit_tempdir.onChange = record("temp");
    d.f().edit_backupdir.onChange = record("backup");
    d.f().edit_clientdir.onChange = record("client");
    d.f().btn_backup.userClick();
    EXPECT_EQ(seen, (Strings{"temp:" + d.T + "|" + d.B + "/|" + d.C + "/",
                             "backup:" + d.T + "|" + d.B + "|" + d.C + "/",
                             "client:" + d.T + "|" + d.B + "|" + d.C}));
    EXPECT_EQ(d.messages(), Strings{"Backing up *.PART.METs successful !"});
    EXPECT_TRUE(FileExists(d.B + "/001.part.met.HWS"));

    seen.clear();  // tidy fields raise nothing
    d.f().btn_backup.userClick();
    EXPECT_TRUE(seen.empty());
}

TEST(BackupCommands, RefuseABackupFolderWhoseTextContainsTheTempFolderInSubfolderMode) {
    auto setUp = [](BackupDesk& d, const std::string& backup) {
        d.subfolderMode();
        WriteFile(d.T + "/Temp1/003.part.met", PartMet("client"));
        WriteFile(backup + "/Temp1/003.part.met.HWS", PartMet("backup"));
        d.f().edit_backupdir.setText(backup);
    };
    for (const char* suffix : {"/bak", "2", "/bak/"}) {
        BackupDesk d;
        const std::string backup = d.T + suffix;
        setUp(d, backup);
        d.f().btn_backup.userClick();
        d.desk.dialogs.answers = {true};
        d.f().btn_restoreClick();
        EXPECT_EQ(d.messages(), (Strings{kInTemp, kInTemp}));
        EXPECT_EQ(d.captions(), (Strings{"Error ...", "Error ..."}));
        EXPECT_EQ(ReadFile(d.T + "/Temp1/003.part.met"), PartMet("client"));
        EXPECT_FALSE(FolderExists(backup + "_old"));
    }
    {  // an empty temp text is contained in every text
        BackupDesk d;
        setUp(d, d.B);
        d.f().edit_tempdir.setText("");
        d.f().btn_backup.userClick();
        EXPECT_EQ(d.messages(), Strings{kInTemp});
    }
    {  // in simple mode the text test is not made
        BackupDesk d;
        WriteFile(d.T + "/001.part.met", PartMet("1"));
        d.f().edit_backupdir.setText(d.T + "/bak");
        d.f().btn_backup.userClick();
        EXPECT_EQ(d.messages(), Strings{"Backing up *.PART.METs successful !"});
        EXPECT_TRUE(FileExists(d.T + "/bak/001.part.met.HWS"));
    }
}

TEST(RestoreCommand, AnythingButYesChangesNothingNotEvenTheFields) {
    for (bool scripted : {false, true}) {
        BackupDesk d;
        WriteFile(d.B + "/001.part.met.HWS", PartMet("backup"));
        WriteFile(d.T + "/001.part.met", PartMet("client"));
        d.f().edit_tempdir.setText(d.T + "/");
        if (scripted) d.desk.dialogs.answers = {false};  // otherwise Escape
        d.f().btn_restore.userClick();
        ASSERT_EQ(d.desk.dialogs.shown.size(), 1u);
        EXPECT_EQ(d.desk.dialogs.shown[0].kind, Shown::Kind::Question);
        EXPECT_EQ(
            d.desk.dialogs.shown[0].text.rfind(std::string(kQuestion) + "\n\nNewest backup: ", 0),
            0u);
        EXPECT_EQ(d.f().edit_tempdir.text(), d.T + "/");
        EXPECT_EQ(ReadFile(d.T + "/001.part.met"), PartMet("client"));
    }
}

TEST(RestoreCommand, RefusedWhileTheClientRunsAndNothingIsTouched) {
    BackupDesk d;
    WriteFile(d.B + "/001.part.met.HWS", PartMet("backup"));
    WriteFile(d.T + "/001.part.met", PartMet("client"));
    d.f().edit_tempdir.setText(d.T + "/");
    d.desk.processes.running = {"EMULE.exe"};
    d.desk.dialogs.answers = {true};
    d.f().btn_restoreClick();
    EXPECT_EQ(d.messages(),
              Strings{"Please close the eDonkey-Client first: it overwrites restored files while "
                      "it runs. Nothing was restored.\nIf \"restart eDonkey-Client when it is "
                      "halted\" is switched on, Hoardwise starts the client again: switch it off "
                      "first."});
    EXPECT_EQ(d.captions(), Strings{"Error ..."});
    EXPECT_EQ(ReadFile(d.T + "/001.part.met"), PartMet("client"));
    EXPECT_EQ(d.f().edit_tempdir.text(), d.T + "/");
}

// With aMule only a process on this configuration keeps a restore off, or one of our user's whose
// configuration cannot be told; the refusal names it. Another user's bare aMule runs on its own.
TEST(RestoreCommand, AnAMuleProcessKeepsItOffOnlyOnThisConfigurationAndIsNamed) {
    BackupDesk d;
    const std::string config = d.root / ".aMule";  // our own, where a bare aMule of ours runs
    const std::string other = d.root / "other";
    WriteFile(config + "/amule.conf", "");
    fs::create_directories(other + "/.aMule");
    const long me = static_cast<long>(::getuid()), them = 4242;
    // clang-format off
    const struct { const char* what; ProcessInfo process; const char* named; } cases[] = {
        {"ours on it", {1234, me, "me", {"amuled", "-c", config}, "", ""}, "amuled, process 1234, user me"},
        {"ours, of a folder not told", {1234, me, "me", {"amule", "-c", "rel"}, "", ""}, "amule, process 1234, user me"},
        {"another user's on its home", {1234, them, "amule", {"amuled"}, "", other}, nullptr},
        {"another user's, unreadable", {1234, them, "amule", {"amuled"}, "", ""}, nullptr},
    };
    // clang-format on
    const ScopedEnv home("HOME", d.root.path());
    for (const auto& c : cases) {  // named: the refusal's last line; nullptr: restored
        SCOPED_TRACE(c.what);
        d.desk.dialogs.shown.clear();
        WriteFile(d.B + "/001.part.met.HWS", PartMet("backup"));
        WriteFile(d.T + "/001.part.met", PartMet("client"));
        d.f().edit_clientdir.setText(config);
        d.desk.processes.described = {c.process};
        d.desk.dialogs.answers = {true};
        d.f().btn_restoreClick();
        const Strings shown = d.messages();
        ASSERT_EQ(shown.size(), 1u);
        if (c.named) {
            EXPECT_EQ(shown[0].substr(shown[0].rfind("first.") + 6), "\n\n" + std::string(c.named));
            EXPECT_EQ(ReadFile(d.T + "/001.part.met"), PartMet("client"));
        } else {
            EXPECT_EQ(shown[0], "Restoring *.PART.METs successful !");
        }
    }
}

// The question names the generations as the restore's repair will leave them; where the newest
// is missing or holds fewer part files than the older one, it says so, and the older one is
// restored only where it is the only one or by a button of its own.
TEST(RestoreCommand, NamesTheNewestGenerationAndOffersTheOlderOneWhereItHoldsMore) {
    const Choice yes = Choice::Yes, no = Choice::No, older = Choice::Extra;
    struct Case {
        const char* what;
        int newest, older, complete;  // part files in B, B_old, .B.hws-new (-1: missing)
        std::vector<Choice> choices;
        const char* restored;  // the content of 001.part.met afterwards
        int shownNewest;       // part files named as the newest, -1: "no newest backup"
        int shownOlder;        // ... as the older, -1: none named
    };
    // clang-format off
    const Case cases[] = {
        {"B as full as B_old",    2, 2, -1, {yes},      "newest",   2, -1},
        {"fewer, newest chosen",  1, 2, -1, {yes},      "newest",   1,  2},
        {"fewer, older chosen",   1, 2, -1, {older},    "older",    1,  2},
        {"fewer, No ends it",     1, 2, -1, {no, yes},  "client",   1,  2},
        {"fewer, Escape ends it", 1, 2, -1, {},         "client",   1,  2},
        {"B empty, older chosen", 0, 2, -1, {yes},      "older",   -1,  2},
        {"B missing",            -1, 2, -1, {yes},      "older",    2, -1},
        {"rotation cut short",   -1, 1,  2, {yes},      "complete", 2, -1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BackupDesk d;
        WriteFile(d.T + "/001.part.met", PartMet("client"));
        const std::string complete = d.root / ".backup.hws-new";
        for (const auto& [folder, count, content] :
             {std::tuple{d.B, c.newest, "newest"}, std::tuple{d.B + "_old", c.older, "older"},
              std::tuple{complete, c.complete, "complete"}}) {
            if (count >= 0) fs::create_directories(folder);
            for (int i = 0; i < count; ++i) {
                WriteFile(folder + "/00" + std::to_string(i + 1) + ".part.met.HWS",
                          PartMet(content));
            }
        }
        if (c.complete >= 0) {  // the marks of a complete generation
            WriteFile(complete + "/.hws-generation", "");
            WriteFile(complete + "/.hws-newest", "");
        }
        // Only one question is asked: with Yes and No only, or with the extra button.
        for (const Choice choice : c.choices) {
            d.desk.dialogs.choices.push_back(choice);
            d.desk.dialogs.answers.push_back(choice == yes);
        }
        d.f().btn_restore.userClick();
        ASSERT_EQ(d.desk.dialogs.count(Shown::Kind::Question), 1);
        const Shown& asked = d.desk.dialogs.shown[0];
        EXPECT_EQ(asked.extra,
                  c.shownNewest > 0 && c.shownNewest < c.shownOlder ? "Restore older backup" : "");
        EXPECT_EQ(asked.text.find("There is no newest backup") != std::string::npos,
                  c.shownNewest < 0);
        for (const auto& [prefix, count] : {std::pair{"Newest backup: ", c.shownNewest},
                                            std::pair{"Older backup: ", c.shownOlder}}) {
            const std::size_t at = asked.text.find(prefix);
            ASSERT_EQ(at != std::string::npos, count >= 0) << asked.text;
            if (count >= 0) {
                EXPECT_EQ(asked.text.substr(asked.text.find(", ", at), 4),
                          ", " + std::to_string(count) + " ")
                    << asked.text;
            }
        }
        EXPECT_EQ(ReadFile(d.T + "/001.part.met"), PartMet(c.restored));
    }
}

TEST(BackupCommands, PlaceholdersFindNothingAndTouchNoFile) {
    BackupDesk d;
    d.f().edit_tempdir.setText("Click Browse to select TEMP-Folder");
    d.f().edit_backupdir.setText("Click Browse to select BACKUP-Folder");
    d.f().edit_clientdir.setText("Click Browse to select eDonkey-Client Folder");
    const std::string placeholder = d.f().edit_backupdir.text();
    ASSERT_FALSE(placeholder.empty());
    ASSERT_NE(placeholder[0], '/');
    d.f().btn_backup.userClick();
    d.desk.dialogs.answers = {true};
    d.f().btn_restore.userClick();
    EXPECT_EQ(d.messages(),
              (Strings{"No PART.METs found to back up !", "Nothing found to restore !"}));
    EXPECT_EQ(d.captions(), (Strings{"Error ...", "Error ..."}));
    EXPECT_FALSE(fs::exists(placeholder));
}

TEST(BackupCommands, AFullManualCycleRestoresTheBackedUpBytes) {
    FakeDesktop desk;
    TempDir root;
    MainForm& f = desk.f();
    f.ApplyLanguage("EN");
    const std::string part1 = PartMet(std::string("hash\xff\x00\xfe", 7));
    const std::string part2 = PartMet(std::string(7000, '\x5a'));
    WriteFile(root / "client/temp/001.part.met", part1);
    WriteFile(root / "client/temp/002.part.met", part2);
    WriteFile(root / "client/server.met", "server list");
    WriteFile(root / "client/emule.exe", "client program");

    f.edit_tempdir.userTyped(root / "client/temp/");
    f.edit_backupdir.userTyped(root / "backup");
    f.edit_clientdir.userTyped(root / "client");
    f.listbox_files.add("server.met");
    f.btn_backup.userClick();

    WriteFile(root / "client/temp/001.part.met", "damaged");
    WriteFile(root / "client/temp/002.part.met", "");
    WriteFile(root / "client/server.met", "lost");
    desk.dialogs.answers = {true};
    f.btn_restore.userClick();

    EXPECT_EQ(ReadFile(root / "client/temp/001.part.met"), part1);
    EXPECT_EQ(ReadFile(root / "client/temp/002.part.met"), part2);
    EXPECT_EQ(ReadFile(root / "client/server.met"), "server list");
    EXPECT_EQ(f.edit_tempdir.text(), root / "client/temp");
    EXPECT_EQ(desk.dialogs.messageTexts(), (Strings{"Backing up *.PART.METs successful !",
                                                    "Restoring *.PART.METs successful !"}));
    EXPECT_EQ(desk.dialogs.count(Shown::Kind::Question), 1);
}

// Runs the work on a thread of its own and keeps the steps for the window's thread until the
// test runs them, as the front end's event loop would.
class QueuedWorker : public RunWorker {
  public:
    int starts = 0;
    ~QueuedWorker() override { Join(); }
    void Start(std::function<void()> work, std::function<void()> done) override {
        ++starts;
        Join();
        thread_ = std::thread([this, work = std::move(work), done = std::move(done)] {
            work();
            Post(done);
        });
    }
    void Post(std::function<void()> step) override {
        const std::lock_guard<std::mutex> lock(guard_);
        steps_.push_back(std::move(step));
    }
    // Waits for the work's end, then runs every step it left, in order.
    void Finish() {
        Join();
        std::deque<std::function<void()>> steps;
        {
            const std::lock_guard<std::mutex> lock(guard_);
            steps.swap(steps_);
        }
        for (const auto& step : steps) step();
    }

  private:
    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    std::thread thread_;
    std::mutex guard_;
    std::deque<std::function<void()>> steps_;
};

TEST(BackupCommand, ARunOnTheWorkerHoldsTheCommandsBackAndTellsItsEndOnceDone) {
    BackupDesk d;
    QueuedWorker worker;
    d.f().services.worker = &worker;
    int stateChanges = 0;
    d.f().onRunStateChanged = [&] { ++stateChanges; };
    WriteFile(d.T + "/001.part.met", PartMet("1"));
    auto enabled = [&d] {
        return std::make_tuple(d.f().btn_backup.enabled(), d.f().btn_restore.enabled(),
                               d.f().pop_backup.enabled());
    };
    d.f().btn_backupClick();
    EXPECT_TRUE(d.f().RunUnderWay());
    EXPECT_EQ(enabled(), std::make_tuple(false, false, false));
    EXPECT_EQ(stateChanges, 1);
    // A second click, a restore and a scheduled backup meanwhile start nothing and ask nothing.
    d.f().btn_backupClick();
    d.f().btn_restoreClick();
    d.desk.processes.running = {"emule.exe"};
    EXPECT_EQ(d.f().BackupPartFiles(true), MainForm::RunOutcome::Skipped);
    EXPECT_EQ(worker.starts, 1);
    EXPECT_TRUE(d.desk.dialogs.shown.empty());
    EXPECT_EQ(d.f().lastRunEnd(), MainForm::RunEnd::None);
    // A folder typed meanwhile is the next run's: this one is recorded under its own.
    d.f().edit_backupdir.setText(d.root / "elsewhere");

    worker.Finish();
    EXPECT_TRUE(LastBackupRuns(d.f().HistoryFilePath(), BackupFolderName(d.B)).newest.has_value());
    d.f().edit_backupdir.setText(d.B);
    EXPECT_EQ(d.messages(), Strings{"Backing up *.PART.METs successful !"});
    EXPECT_EQ(d.f().lastRunEnd(), MainForm::RunEnd::Succeeded);
    EXPECT_FALSE(d.f().RunUnderWay());
    EXPECT_EQ(enabled(), std::make_tuple(true, true, true));
    EXPECT_EQ(stateChanges, 2);
    EXPECT_EQ(ReadFile(d.B + "/001.part.met.HWS"), PartMet("1"));
    d.f().FinishBackgroundWork();

    // Started from the tray's menu behind the icon, its end is one notice, not a box.
    d.f().abfTrayIcon1.setVisible(true);
    d.f().pop_backupClick();
    worker.Finish();
    EXPECT_EQ(d.messages().size(), 1u);
    EXPECT_EQ(d.f().abfTrayIcon1.noticeText(), "Backing up *.PART.METs successful !");
    d.f().FinishBackgroundWork();

    // An automatic run that fails is announced by the icon once it has ended.
    d.f().edit_backupdir.setText(d.T);
    EXPECT_EQ(d.f().BackupPartFiles(true), MainForm::RunOutcome::Started);
    EXPECT_EQ(d.f().abfTrayIcon1.noticeCount(), 1u);
    worker.Finish();
    EXPECT_EQ(d.f().lastRunEnd(), MainForm::RunEnd::Refused);
    EXPECT_EQ(d.f().abfTrayIcon1.noticeCount(), 2u);
    EXPECT_NE(d.f().abfTrayIcon1.noticeText().find(d.f().msg_backupdir_overlaps),
              std::string::npos);
}

}  // namespace
}  // namespace hw::test
