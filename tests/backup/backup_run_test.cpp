#include "backup/backup_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "backup/backup_fixture.h"
#include "base/paths.h"
#include "shell/file_copy.h"
#include "shell/find_files.h"
#include "support/child_with_alarm.h"
#include "support/scratch_mounts.h"
#include "ui/run_texts.h"

namespace hw::test {
namespace {

namespace fs = std::filesystem;

const char* const kOk = "Backing up *.PART.METs successful !";
const char* const kFailed = "Backing up *.PART.METs failed !";
const char* const kNone = "No PART.METs found to back up !";

TEST(BackupRun, KeepsExactlyOneOlderGeneration) {
    BackupDesk d;
    WriteFile(d.T + "/001.part.met", PartMet("first 1"));
    WriteFile(d.T + "/002.part.met", PartMet("first 2"));
    d.f().BackupPartFiles(false);
    EXPECT_EQ(Names(d.B), (Strings{"001.part.met.HWS", "002.part.met.HWS"}));
    EXPECT_EQ(ReadFile(d.B + "/001.part.met.HWS"), PartMet("first 1"));
    EXPECT_FALSE(FolderExists(d.B + "_old"));
    EXPECT_EQ(d.messages(), Strings{kOk});
    EXPECT_EQ(d.captions(), Strings{"Info ..."});

    WriteFile(d.T + "/001.part.met", PartMet("second 1"));
    d.f().BackupPartFiles(false);
    EXPECT_EQ(ReadFile(d.B + "/001.part.met.HWS"), PartMet("second 1"));
    EXPECT_EQ(ReadFile(d.B + "_old/001.part.met.HWS"), PartMet("first 1"));

    WriteFile(d.T + "/001.part.met", PartMet("third 1"));
    fs::remove(d.T + "/002.part.met");
    d.f().BackupPartFiles(false);
    EXPECT_EQ(Names(d.B), Strings{"001.part.met.HWS"});
    EXPECT_EQ(ReadFile(d.B + "/001.part.met.HWS"), PartMet("third 1"));
    EXPECT_EQ(ReadFile(d.B + "_old/001.part.met.HWS"), PartMet("second 1"));
    d.f().FinishBackgroundWork();
    EXPECT_EQ(Names(d.root.path()),
              (Strings{".backup.hws-discard", "backup", "backup_old", "client", "temp"}));
}

// A part file written a moment ago is copied after all others: the wait for its write to end
// is then mostly over.
TEST(BackupRun, APartFileWrittenJustNowIsCopiedLast) {
    BackupDesk d;
    for (int k = 1; k <= 7; ++k) {
        WriteFile(d.T + "/00" + std::to_string(k) + ".part.met",
                  PartMet("older " + std::to_string(k)));
    }
    ::usleep(400000);  // more than the settling time between the older ones and the new one
    const std::string recent = d.T + "/008.part.met";
    WriteFile(recent, PartMet("just now"));
    struct stat info {};
    ASSERT_EQ(::stat(recent.c_str(), &info), 0);
    TabfFileOperation& op = d.f().abfFileOperation1;
    op.stepsInOrder = true;
    // Some 100 ms after the new one's change: every file is read twice, only it would wait.
    op.clock = [&] {
        const long ns = info.st_ctim.tv_nsec + 100'000'000;
        return timespec{info.st_ctim.tv_sec + ns / 1'000'000'000, ns % 1'000'000'000};
    };
    std::vector<std::string> secondReads;
    op.waitBeforeSecondRead = [&](const std::string& source) { secondReads.push_back(source); };
    d.f().BackupPartFiles(false);
    EXPECT_EQ(d.messages(), Strings{kOk});
    ASSERT_EQ(secondReads.size(), 8u);
    EXPECT_EQ(secondReads.back(), recent);
    EXPECT_EQ(ReadFile(d.B + "/008.part.met.HWS"), PartMet("just now"));
    EXPECT_EQ(ReadFile(d.B + "/003.part.met.HWS"), PartMet("older 3"));
}

TEST(BackupRun, SubfolderModeTakesOnlyImmediateSubfoldersAndMatchesIgnoringCase) {
    BackupDesk d;
    d.subfolderMode();
    WriteFile(d.T + "/Temp1/003.part.met", PartMet("3"));
    WriteFile(d.T + "/Temp2/004.PART.MET", PartMet("4"));
    WriteFile(d.T + "/Temp2/notes.txt", "n");
    WriteFile(d.T + "/Temp2/deeper/007.part.met", PartMet("7"));
    WriteFile(d.T + "/005.part.met", PartMet("5"));
    d.f().BackupPartFiles(false);
    EXPECT_EQ(Names(d.B), (Strings{"Temp1", "Temp2"}));
    EXPECT_EQ(ReadFile(d.B + "/Temp1/003.part.met.HWS"), PartMet("3"));
    EXPECT_EQ(Names(d.B + "/Temp2"), Strings{"004.PART.MET.HWS"});
    EXPECT_EQ(d.messages(), Strings{kOk});

    {  // simple mode takes the file in T, case ignored, and nothing from subfolders
        BackupDesk s;
        WriteFile(s.T + "/006.PART.MET", PartMet("6"));
        WriteFile(s.T + "/Temp1/003.part.met", PartMet("3"));
        s.f().BackupPartFiles(false);
        EXPECT_EQ(Names(s.B), Strings{"006.PART.MET.HWS"});
    }
}

TEST(BackupRun, NothingFoundTouchesNothing) {
    BackupDesk d;
    WriteFile(d.B + "/keep.part.met.HWS", PartMet("keep"));
    WriteFile(d.C + "/server.met", "s");
    d.f().listbox_files.add("server.met");
    d.f().BackupPartFiles(false);
    EXPECT_EQ(d.messages(), Strings{kNone});
    EXPECT_EQ(d.captions(), Strings{"Error ..."});
    EXPECT_EQ(Names(d.B), Strings{"keep.part.met.HWS"});
    EXPECT_FALSE(FolderExists(d.B + "_old"));

    d.subfolderMode();  // subfolders without part files count as nothing found
    WriteFile(d.T + "/Temp1/readme.txt", "r");
    WriteFile(d.T + "/005.part.met", PartMet("5"));
    d.f().BackupPartFiles(false);
    EXPECT_EQ(d.messages(), (Strings{kNone, kNone}));
    EXPECT_EQ(Names(d.B), Strings{"keep.part.met.HWS"});

    d.f().edit_tempdir.setText("Click Browse to select TEMP-Folder");  // a placeholder
    d.f().BackupPartFiles(false);
    EXPECT_EQ(d.messages().back(), kNone);
}

TEST(BackupRun, AutomaticModeIsSilentAndRunsOnlyWhileTheClientRuns) {
    BackupDesk d;
    WriteFile(d.T + "/001.part.met", PartMet("1"));
    d.f().listbox_files.add("missing.dat");
    d.f().BackupPartFiles(true);  // client not running: nothing at all
    EXPECT_FALSE(fs::exists(d.B));
    EXPECT_EQ(d.desk.processes.queries, 1);

    d.desk.processes.running = {"eMule.EXE"};
    d.f().BackupPartFiles(true);  // runs, and the additional-files error stays silent
    EXPECT_EQ(ReadFile(d.B + "/001.part.met.HWS"), PartMet("1"));

    fs::remove(d.T + "/001.part.met");
    d.f().BackupPartFiles(true);  // nothing found: silent, B stays
    EXPECT_TRUE(FileExists(d.B + "/001.part.met.HWS"));
    EXPECT_TRUE(d.desk.dialogs.shown.empty());

    d.f().clientExe = "";  // an empty name matches no process
    WriteFile(d.T + "/002.part.met", PartMet("2"));
    d.f().BackupPartFiles(true);
    EXPECT_FALSE(FileExists(d.B + "/002.part.met.HWS"));
}

TEST(BackupRun, AdditionalFilesAreCopiedAndMissingOrUnsafeOnesListed) {
    BackupDesk d;
    WriteFile(d.T + "/001.part.met", PartMet("1"));
    WriteFile(d.C + "/server.met", "servers");
    WriteFile(d.C + "/config/x.dat", "x");
    WriteFile(d.root / "outside.dat", "secret");
    fs::create_directories(d.C + "/afolder");
    for (const char* entry :
         {"server.met", "config/x.dat", "gone.met", "afolder", "../outside.dat", "/etc/passwd"}) {
        d.f().listbox_files.add(entry);
    }
    d.f().BackupPartFiles(false);
    EXPECT_EQ(ReadFile(d.B + "/~hws_xtra/server.met"), "servers");
    EXPECT_EQ(ReadFile(d.B + "/~hws_xtra/config/x.dat"), "x");
    EXPECT_EQ(Names(d.B + "/~hws_xtra"), (Strings{"config", "server.met"}));
    EXPECT_FALSE(fs::exists(d.B + "/outside.dat"));
    ASSERT_EQ(d.messages().size(), 2u);
    EXPECT_EQ(d.messages()[0], kOk);  // the part files are reported first
    // The list box sorts its entries ignoring case; an absolute entry is shown as written.
    EXPECT_EQ(d.messages()[1], "Error while backing up following additional files: \n\n" + d.C +
                                   "/../outside.dat\n/etc/passwd\n" + d.C + "/afolder\n" + d.C +
                                   "/gone.met\n");
    EXPECT_EQ(d.captions()[1], "Error ...");
}

TEST(BackupRun, AFailedPartFileCopyLeavesBothGenerationsAsTheyWere) {
    BackupDesk d;
    for (int i = 1; i <= 5; ++i)
        WriteFile(d.T + "/00" + std::to_string(i) + ".part.met", PartMet("v1"));
    d.f().BackupPartFiles(false);
    for (int i = 1; i <= 5; ++i)
        WriteFile(d.T + "/00" + std::to_string(i) + ".part.met", PartMet("v2"));
    d.f().BackupPartFiles(false);
    for (int i = 1; i <= 5; ++i)
        WriteFile(d.T + "/00" + std::to_string(i) + ".part.met", PartMet("v3"));
    d.f().listbox_files.add("server.met");
    WriteFile(d.C + "/server.met", "s");

    // The disk fills up at the third file, twice in a row (as automatic runs would).
    int calls = 0;
    d.f().abfFileOperation1.byteWrite = [&](int to, const char* data, std::size_t size) {
        if (++calls == 3 || calls == 6) {
            errno = ENOSPC;
            return false;
        }
        return files::WriteAllBytes(to, data, size);
    };
    d.f().BackupPartFiles(false);
    d.desk.processes.running = {"emule.exe"};
    d.f().BackupPartFiles(true);
    EXPECT_EQ(calls, 6);  // each run stopped at its failing file
    for (int i = 1; i <= 5; ++i) {
        const std::string n = "/00" + std::to_string(i) + ".part.met.HWS";
        EXPECT_EQ(ReadFile(d.B + n), PartMet("v2"));
        EXPECT_EQ(ReadFile(d.B + "_old" + n), PartMet("v1"));
    }
    EXPECT_FALSE(FolderExists(d.B + "/~hws_xtra"));  // the additional files were not copied
    d.f().FinishBackgroundWork();
    EXPECT_EQ(Names(d.root.path()), (Strings{"backup", "backup_old", "client", "temp"}));
    // The manual run names the backup file that could not be written.
    ASSERT_EQ(d.messages().size(), 3u);
    const std::string intro = kFailed + std::string("\n\n") + d.f().msg_file_not_written;
    const std::string shown = d.messages()[2];
    ASSERT_EQ(shown.substr(0, intro.size()), intro);
    const std::string named = shown.substr(intro.size());
    EXPECT_TRUE(FileExists(named)) << named;  // a file of the generation that was kept
    EXPECT_EQ(ParentPath(named), d.B);
    EXPECT_EQ(d.captions().back(), "Error ...");
    EXPECT_EQ(d.f().runFailure(), shown);  // what the tray icon would announce
}

// A USB disk pulled (or unmounted) during a run: its empty mount-point folder on the system
// disk must not receive the rest of the backup, and the run must not call itself successful.
TEST(BackupRun, ABackupDiskThatVanishesMidRunFailsByNameAndNothingIsWrittenInItsPlace) {
    for (bool duringExtras : {false, true}) {
        SCOPED_TRACE(duringExtras ? "while copying the additional files" : "while staging");
        BackupDesk d;
        const std::string disk = d.root / "disk";
        fs::create_directories(disk);
        ScratchMounts mounts;
        const std::string why = mounts.MountTmpfs(disk, 8);
        if (!why.empty()) GTEST_SKIP() << why;
        d.f().edit_backupdir.setText(disk + "/B");
        for (int i = 0; i < 5; ++i)
            WriteFile(d.T + "/00" + std::to_string(i) + ".part.met", PartMet("x"));
        WriteFile(d.C + "/server.met", "server list");
        d.f().listbox_files.add("server.met");
        d.f().abfFileOperation1.beforeCopy = [&](const std::string& source) {
            if (source == (duringExtras ? d.C + "/server.met" : d.T + "/002.part.met")) {
                ASSERT_EQ(std::system(("umount -l '" + disk + "'").c_str()), 0);
            }
        };
        d.f().BackupPartFiles(false);
        const std::string gone =
            duringExtras ? d.f().msg_folder_gone + disk + "/B"
                         : std::string(kFailed) + "\n\n" + d.f().msg_folder_gone + disk + "/B";
        EXPECT_EQ(d.messages().back(), gone);
        EXPECT_EQ(Names(disk), Strings{});
    }
}

// A temp folder whose disk drops out or that is moved away mid-run: the part files not yet read
// are no completed downloads, and the few read must replace no generation.
TEST(BackupRun, ATempFolderThatVanishesMidRunFailsByNameAndNoGenerationRotates) {
    for (const std::string how : {"renamed", "replaced by another folder", "unmounted"}) {
        SCOPED_TRACE(how);
        BackupDesk d;
        ScratchMounts mounts;
        const std::string why = how == "unmounted" ? mounts.MountTmpfs(d.T, 8) : "";
        if (!why.empty()) GTEST_SKIP() << why;  // the last case
        for (const char* content : {"v1", "v2", "v3", "v4"}) {
            for (int i = 0; i < 5; ++i)
                WriteFile(d.T + "/00" + std::to_string(i) + ".part.met", PartMet(content));
            if (content != std::string("v4")) d.f().BackupPartFiles(false);
        }
        const Strings folders = Names(d.root.path());
        bool gone = false;  // once: the sources are read again after a pause
        d.f().abfFileOperation1.beforeCopy = [&](const std::string& source) {
            if (gone || source != d.T + "/002.part.met") return;
            gone = true;
            if (how == "unmounted") {
                ASSERT_EQ(std::system(("umount -l '" + d.T + "'").c_str()), 0);
            } else {
                fs::rename(d.T, d.C + "/moved");
                if (how != "renamed") fs::create_directory(d.T);
            }
        };
        EXPECT_EQ(d.f().BackupPartFiles(false), MainForm::RunOutcome::Failed);
        EXPECT_EQ(d.messages().back(), std::string(kFailed) + "\n\n" + d.f().msg_temp_gone + d.T +
                                           "\n\n" + d.f().msg_generations_unchanged);
        EXPECT_EQ(ReadFile(d.B + "/000.part.met.HWS"), PartMet("v3"));
        EXPECT_EQ(ReadFile(d.B + "_old/000.part.met.HWS"), PartMet("v2"));
        d.f().FinishBackgroundWork();
        fs::create_directory(d.T);  // where it was renamed away
        EXPECT_EQ(Names(d.root.path()), folders);
    }
}

TEST(BackupRun, ARunRightAfterOneThatThrewAwayALargeGenerationWaitsForItsRemoval) {
    BackupDesk d;
    for (int i = 0; i < 1000; ++i)
        WriteFile(d.T + "/" + std::to_string(i) + ".part.met", PartMet("v"));
    d.f().BackupPartFiles(false);
    d.f().BackupPartFiles(false);
    for (int i = 1; i < 1000; ++i) fs::remove(d.T + "/" + std::to_string(i) + ".part.met");
    WriteFile(d.T + "/0.part.met", PartMet("newest"));
    d.f().BackupPartFiles(false);  // throws away 1,000 files
    d.f().BackupPartFiles(false);  // copies one file, then needs the discard name again
    EXPECT_EQ(d.messages(), (Strings{kOk, kOk, kOk, kOk}));
    EXPECT_EQ(Names(d.B), Strings{"0.part.met.HWS"});
    EXPECT_EQ(ReadFile(d.B + "_old/0.part.met.HWS"), PartMet("newest"));
    d.f().FinishBackgroundWork();
    EXPECT_EQ(Names(d.root.path()),
              (Strings{".backup.hws-discard", "backup", "backup_old", "client", "temp"}));
}

TEST(BackupRun, LeftoversOfAnInterruptedRunAreRemovedByTheNextRun) {
    BackupDesk d;
    WriteFile(d.T + "/001.part.met", PartMet("new"));
    const std::string staging = d.root / ".backup.hws-staging";
    WriteFile(staging + "/001.part.met.HWS", PartMet("ne"));  // a crash while staging
    WriteFile(staging + "/999.part.met.HWS", PartMet("stale"));
    WriteFile(d.root / ".backup.hws-discard/old.part.met.HWS", PartMet("old"));  // while discarding
    for (const char* hidden : {".backup.hws-staging", ".backup.hws-discard"}) {
        WriteFile(d.root / hidden + "/.hws-generation", "");
    }
    WriteFile(d.B + "/001.part.met.HWS", PartMet("previous"));
    WriteFile(d.B + "/~hws_xtra/config/.hws-tmp.Ab12Cd", "a copy cut short");
    d.f().BackupPartFiles(false);
    EXPECT_EQ(Names(d.B), Strings{"001.part.met.HWS"});
    EXPECT_EQ(ReadFile(d.B + "/001.part.met.HWS"), PartMet("new"));
    EXPECT_EQ(ReadFile(d.B + "_old/001.part.met.HWS"), PartMet("previous"));
    EXPECT_EQ(Names(d.B + "_old/~hws_xtra/config"), Strings{});
    d.f().FinishBackgroundWork();
    EXPECT_EQ(Names(d.root.path()), (Strings{"backup", "backup_old", "client", "temp"}));
}

// A generation that the user made read-only cannot take new names: the run names what it could
// not change and why (as root that is never seen, hence the child as nobody).
TEST(BackupRun, AFolderItCannotChangeIsNamedWithTheCause) {
    BackupDesk d;
    WriteFile(d.T + "/001.part.met", PartMet("1"));
    for (int run = 0; run < 3; ++run) d.f().BackupPartFiles(false);
    d.f().FinishBackgroundWork();
    WriteFile(d.T + "/002.part.met", PartMet("2"));
    ASSERT_EQ(std::system(("chown -R 65534:65534 '" + d.root.path() + "'").c_str()), 0);
    ASSERT_EQ(::chmod((d.root / ".backup.hws-discard").c_str(), 0555), 0);
    const std::string expected = std::string(kFailed) + "\n\n" + d.f().msg_not_changed +
                                 d.root.path() + "/.backup.hws-staging/002.part.met.HWS\n\n" +
                                 d.f().msg_cause_read_only;
    const int exitCode = InChildWithAlarm([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 2;
        d.f().BackupPartFiles(false);
        return d.messages().back() == expected ? 0 : 1;
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(ReadFile(d.B + "/001.part.met.HWS"), PartMet("1"));
    EXPECT_FALSE(fs::exists(d.B + "/002.part.met.HWS"));

    {  // no inode left for the mark that makes a staged generation complete
        BackupDesk full;
        const std::string disk = full.root / "disk";
        fs::create_directories(disk);
        ScratchMounts mounts;
        // The disk's root, the staging folder, its own mark, two copies and their record.
        const std::string why = mounts.MountTmpfs(disk, 4, 6);
        if (!why.empty()) GTEST_SKIP() << why;
        full.f().edit_backupdir.setText(disk + "/B");
        WriteFile(full.T + "/001.part.met", PartMet("1"));
        WriteFile(full.T + "/002.part.met", PartMet("2"));
        full.f().BackupPartFiles(false);
        EXPECT_EQ(full.messages(),
                  Strings{std::string(kFailed) + "\n\n" + full.f().msg_not_changed + disk +
                          "/.B.hws-staging/.hws-newest\n\n" + full.f().msg_cause_full});
        EXPECT_EQ(Names(disk), Strings{});
    }
}

TEST(BackupRun, RefusesBackupFoldersThatWouldMoveTheClientsFiles) {
    const char* const kNotAbsolute =
        "The Backup-Directory must be a full folder path beginning with \"/\" ! Nothing was "
        "backed up.";
    const std::string kOverlaps =
        "The Backup-Directory must be a folder of its own: neither it nor its older generation "
        "(its name with \"_old\") may be the Temp- or Client-Directory or lie above them ! "
        "Nothing was backed up.";
    auto run = [](const std::function<void(BackupDesk&)>& choose, bool automatic) {
        auto d = std::make_unique<BackupDesk>();
        WriteFile(d->T + "/001.part.met", PartMet("1"));
        WriteFile(d->C + "/emule", "client program");
        d->desk.processes.running = {"emule.exe"};
        choose(*d);
        d->f().BackupPartFiles(automatic);
        EXPECT_TRUE(FileExists(d->T + "/001.part.met"));
        EXPECT_TRUE(FileExists(d->C + "/emule"));
        EXPECT_EQ(d->captions(), Strings{"Error ..."});
        return d;
    };
    for (bool automatic : {false, true}) {
        SCOPED_TRACE(automatic);
        auto d = run([](BackupDesk& d) { d.f().edit_backupdir.setText(""); }, automatic);
        EXPECT_EQ(d->messages(), Strings{kNotAbsolute});
        d = run([](BackupDesk& d) { d.f().edit_backupdir.setText("Click Browse"); }, automatic);
        EXPECT_EQ(d->messages(), Strings{kNotAbsolute});
        EXPECT_FALSE(fs::exists("Click Browse"));

        d = run([](BackupDesk& d) { d.f().edit_backupdir.setText(d.T); }, automatic);
        EXPECT_EQ(d->messages(), Strings{kOverlaps});
        d = run([](BackupDesk& d) { d.f().edit_backupdir.setText(d.T + "/"); }, automatic);
        EXPECT_EQ(d->messages(), Strings{kOverlaps});
        d = run([](BackupDesk& d) { d.f().edit_backupdir.setText(d.root.path()); }, automatic);
        EXPECT_EQ(d->messages(), Strings{kOverlaps});
        d = run([](BackupDesk& d) { d.f().edit_backupdir.setText(d.C + "/../client"); }, automatic);
        EXPECT_EQ(d->messages(), Strings{kOverlaps});
        d = run(  // B_old would be the client folder
            [](BackupDesk& d) {
                fs::rename(d.C, d.root / "x_old");
                d.C = d.root / "x_old";
                d.f().edit_clientdir.setText(d.C);
                d.f().edit_backupdir.setText(d.root / "x");
            },
            automatic);
        EXPECT_EQ(d->messages(), Strings{kOverlaps});
        EXPECT_TRUE(FileExists(d->root / "x_old/emule"));
        d = run(  // a link that leads above the temp folder
            [](BackupDesk& d) {
                fs::create_directory_symlink(d.root.path(), d.root / "link");
                d.f().edit_backupdir.setText(d.root / "link");
            },
            automatic);
        EXPECT_EQ(d->messages(), Strings{kOverlaps});
    }
    {  // beside or below the folders is fine, also with a similar name
        BackupDesk d;
        WriteFile(d.T + "/001.part.met", PartMet("1"));
        d.f().edit_backupdir.setText(d.T + "2");
        d.f().BackupPartFiles(false);
        EXPECT_EQ(d.messages(), Strings{kOk});
        d.f().edit_backupdir.setText(d.C + "/bak");
        d.f().BackupPartFiles(false);
        EXPECT_EQ(d.messages(), (Strings{kOk, kOk}));
        EXPECT_TRUE(FileExists(d.C + "/bak/001.part.met.HWS"));
    }
}

// A backup folder that cannot be one, or whose generations another user owns (a run as root on
// a user's settings would leave generations that the user's later runs cannot replace).
TEST(BackupRun, RefusesABackupFolderThatIsNoFolderOrAnotherUsersAndWritesNothing) {
    // clang-format off
    struct Case { const char* file; const char* backup; const char* owned; std::string MainForm::*said; };
    const Case cases[] = {  // below the desk's root: a file, the backup folder, what 4242 owns
        {"backup",     "backup", "",              &MainForm::msg_backupdir_not_folder},
        {"file",       "file/B", "",              &MainForm::msg_backupdir_not_folder},
        {"backup_old", "backup", "",              &MainForm::msg_backupdir_not_folder},
        {"",           "backup", "backup_old",    &MainForm::msg_folder_other_owner},
        {"",           "backup", "hoardwise.INI", &MainForm::msg_settings_other_owner},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + c.owned);
        if (*c.owned != '\0' && ::geteuid() != 0) continue;
        BackupDesk d;
        WriteFile(d.T + "/001.part.met", PartMet("1"));
        d.f().settingsFile = d.root / "hoardwise.INI";
        WriteFile(d.f().settingsFile, "");
        if (*c.file != '\0') WriteFile(d.root / c.file, "text");
        if (std::string(c.owned) == "backup_old") fs::create_directory(d.B + "_old");
        d.f().edit_backupdir.setText(d.root / c.backup);
        const std::string named = d.root / (*c.owned != '\0' ? c.owned : c.file);
        if (*c.owned != '\0') {
            ASSERT_EQ(::chown(named.c_str(), 4242, 4242), 0);
        }
        const Strings before = Names(d.root.path());
        EXPECT_EQ(d.f().BackupPartFiles(false), MainForm::RunOutcome::Failed);
        const std::string owner = "#4242:\n\n" + named + "\n\n" + d.f().msg_run_as_owner +
                                  "sudo -u #4242 hoardwise-cli backup";
        EXPECT_EQ(d.messages(), Strings{d.f().*c.said + (*c.owned != '\0' ? owner : named)});
        EXPECT_EQ(Names(d.root.path()), before);
    }
}

TEST(BackupRun, FolderTextsEndingInASeparatorAreUsedWithoutIt) {
    BackupDesk d;
    WriteFile(d.T + "/001.part.met", PartMet("1"));
    d.f().edit_tempdir.setText(d.T + "/");
    d.f().edit_backupdir.setText(d.B + "//");
    d.f().BackupPartFiles(false);
    d.f().BackupPartFiles(false);
    EXPECT_EQ(Names(d.B), Strings{"001.part.met.HWS"});
    EXPECT_EQ(Names(d.B + "_old"), Strings{"001.part.met.HWS"});
    EXPECT_EQ(d.f().edit_backupdir.text(), d.B + "//");  // the run does not rewrite the field
    EXPECT_EQ(d.messages(), (Strings{kOk, kOk}));
}

TEST(BackupRun, AScheduledBackupIsHeldBackWhileAManualRunWaitsInItsBox) {
    BackupDesk d;
    WriteFile(d.T + "/001.part.met", PartMet("1"));
    WriteFile(d.C + "/server.met", "s");
    d.f().listbox_files.add("server.met");
    d.desk.processes.running = {"emule.exe"};
    int ticks = 0;
    d.desk.dialogs.whileOpen = [&] {
        EXPECT_TRUE(d.f().ManualRunActive());
        ++ticks;
        d.f().BackupPartFiles(true);
    };
    d.f().BackupPartFiles(false);  // success box: the tick must not rotate B meanwhile
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(FolderExists(d.B + "_old"));
    EXPECT_EQ(ReadFile(d.B + "/~hws_xtra/server.met"), "s");

    // During a restore the observer may start the client again inside a box; the tick that
    // follows must still wait.
    WriteFile(d.B + "/001.part.met.HWS", PartMet("backup"));
    d.desk.processes.running.clear();
    int held = 0;
    d.desk.dialogs.whileOpen = [&] {
        if (!d.f().ManualRunActive()) return;  // the question box comes before the run
        ++held;
        d.desk.processes.running = {"emule.exe"};
        d.f().BackupPartFiles(true);
        d.desk.processes.running.clear();
    };
    d.desk.dialogs.answers = {true};
    d.f().btn_restoreClick();
    EXPECT_EQ(held, 1);
    EXPECT_FALSE(FolderExists(d.B + "_old"));
    EXPECT_EQ(ReadFile(d.T + "/001.part.met"), PartMet("backup"));
    EXPECT_FALSE(d.f().ManualRunActive());

    d.desk.dialogs.whileOpen = nullptr;  // with no manual run open, the schedule runs
    d.desk.processes.running = {"emule.exe"};
    d.f().BackupPartFiles(true);
    EXPECT_TRUE(FolderExists(d.B + "_old"));
}

TEST(BackupRun, ABackupFolderHoldingOtherThingsIsRefusedAndNothingIsDeleted) {
    const std::string kForeign =
        "The following folder holds files or folders that Hoardwise did not make. Every backup "
        "replaces the Backup-Directory and its older generation (its name with \"_old\") as a "
        "whole, so please choose an empty folder of its own ! Nothing was changed.\n\n";
    // The hidden generations too: a run reuses, empties and removes them unasked.
    for (const char* owned :
         {"backup", "backup_old", ".backup.hws-discard", ".backup.hws-staging", ".backup.hws-new",
          "backup.hws-discard", "backup.hws-staging", "backup.hws-new"}) {
        SCOPED_TRACE(owned);
        BackupDesk d;
        const std::string folder = d.root / owned;
        WriteFile(d.T + "/001.part.met", PartMet("1"));
        WriteFile(folder + "/letter.odt", "my letter");
        WriteFile(folder + "/001.part.met.HWS", PartMet("an old copy"));
        d.f().BackupPartFiles(false);
        d.f().BackupPartFiles(false);  // the second run would have deleted it
        d.desk.processes.running = {"emule.exe"};
        d.f().BackupPartFiles(true);  // silent
        d.f().FinishBackgroundWork();
        EXPECT_EQ(d.messages(), Strings(2, kForeign + folder));
        EXPECT_EQ(d.captions(), Strings(2, "Error ..."));
        EXPECT_EQ(Names(folder), (Strings{"001.part.met.HWS", "letter.odt"}));
        EXPECT_EQ(ReadFile(folder + "/letter.odt"), "my letter");
        EXPECT_EQ(Names(d.root.path()), (Strings{owned, "client", "temp"}));
    }
    {  // German, and a subfolder that holds more than backups
        BackupDesk d;
        d.subfolderMode();
        WriteFile(d.T + "/Temp1/003.part.met", PartMet("3"));
        WriteFile(d.B + "/Temp1/003.part.met.HWS", PartMet("backup"));
        WriteFile(d.B + "/Temp1/holiday.jpg", "photo");
        d.f().ApplyLanguage("DE");  // the fields show their placeholders again
        d.f().edit_tempdir.setText(d.T);
        d.f().edit_backupdir.setText(d.B);
        d.f().BackupPartFiles(false);
        EXPECT_EQ(
            d.messages(),
            Strings{"Der folgende Ordner enthält Dateien oder Ordner, die nicht von Hoardwise "
                    "stammen. Jede Sicherung ersetzt den Backup-Ordner und seine ältere "
                    "Generation (sein Name mit \"_old\") als Ganzes, bitte einen leeren, "
                    "eigenen Ordner wählen ! Es wurde nichts verändert.\n\n" +
                    d.B});
        EXPECT_EQ(ReadFile(d.B + "/Temp1/holiday.jpg"), "photo");
    }
    {  // generations of the other storing mode are the program's own
        BackupDesk d;
        WriteFile(d.T + "/Temp1/003.part.met", PartMet("3"));
        WriteFile(d.T + "/004.part.met", PartMet("4"));
        d.subfolderMode();
        d.f().BackupPartFiles(false);
        d.f().radio_storing_simple.setChecked(true);
        d.f().BackupPartFiles(false);
        d.subfolderMode();
        d.f().BackupPartFiles(false);
        EXPECT_EQ(d.messages(), Strings(3, kOk));
        EXPECT_EQ(Names(d.B + "_old"), Strings{"004.part.met.HWS"});
    }
}

TEST(BackupRun, PartFilesWithNamesTooLongForTheEndingAreNamedAndTheOthersBackedUp) {
    BackupDesk d;
    auto name = [](std::size_t length) { return std::string(length - 9, 'x') + ".part.met"; };
    for (std::size_t length : {240u, 251u, 252u, 255u}) {
        WriteFile(d.T + "/" + name(length), PartMet("length " + std::to_string(length)));
    }
    d.f().BackupPartFiles(false);
    ASSERT_EQ(d.messages().size(), 1u);
    const std::string shown = d.messages()[0];
    const std::string intro = d.f().msg_names_too_long;
    ASSERT_EQ(shown.substr(0, intro.size()), intro);
    Strings listed = SplitText(shown.substr(intro.size()), "\n");
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (Strings{d.T + "/" + name(252), d.T + "/" + name(255)}));
    EXPECT_EQ(d.captions(), Strings{"Error ..."});
    EXPECT_EQ(Names(d.B), (Strings{name(240) + ".HWS", name(251) + ".HWS"}));

    for (std::size_t length : {240u, 251u}) fs::remove(d.T + "/" + name(length));
    d.desk.dialogs.answers = {true};
    d.f().btn_restoreClick();  // the temporary names of the restore fit as well
    EXPECT_EQ(d.messages().back(), "Restoring *.PART.METs successful !");
    EXPECT_EQ(ReadFile(d.T + "/" + name(251)), PartMet("length 251"));
    EXPECT_EQ(ReadFile(d.T + "/" + name(240)), PartMet("length 240"));
    EXPECT_EQ(Names(d.T).size(), 4u);

    {  // nothing but such names: no new generation at all
        BackupDesk only;
        WriteFile(only.B + "/001.part.met.HWS", PartMet("previous"));
        WriteFile(only.T + "/" + name(255), PartMet("x"));
        only.f().BackupPartFiles(false);
        EXPECT_EQ(only.messages(),
                  Strings{"The following part files were not backed up: with the ending \".HWS\" "
                          "their names are too long for the disk of the Backup-Directory. The "
                          "other part files were backed up.\n\n" +
                          only.T + "/" + name(255) + "\n"});
        EXPECT_EQ(Names(only.root.path()), (Strings{"backup", "client", "temp"}));
        EXPECT_EQ(ReadFile(only.B + "/001.part.met.HWS"), PartMet("previous"));
    }
    {  // names that an exFAT disk cannot store leave out only their own files
        BackupDesk usb;
        const std::string disk = usb.root / "usb";
        fs::create_directories(disk);
        ScratchMounts mounts;
        const std::string why = mounts.MountExfat(usb.root / "exfat.img", disk);
        if (!why.empty()) GTEST_SKIP() << "no exFAT disk to test on: " << why;
        EXPECT_FALSE(files::KeepsRealChangeTimes(disk));
        usb.f().edit_backupdir.setText(disk + "/B");
        const Strings bad{"a:b.part.met", "bad\xff.part.met", "line\nbreak.part.met"};
        for (const std::string& part : bad) WriteFile(usb.T + "/" + part, PartMet(part));
        WriteFile(usb.T + "/good.part.met", PartMet("good"));
        usb.f().BackupPartFiles(false);
        ASSERT_EQ(usb.messages().size(), 1u);
        const std::string intro = usb.f().msg_names_unstorable;
        ASSERT_EQ(usb.messages()[0].substr(0, intro.size()), intro);
        for (const std::string& part : bad) {
            EXPECT_NE(usb.messages()[0].find(usb.T + "/" + part + "\n"), std::string::npos);
        }
        EXPECT_EQ(Names(disk + "/B"), Strings{"good.part.met.HWS"});
    }
}

// The engine's report, without a window: how a run ended, what refused it, and what it counted.
TEST(BackupEngine, ReportsTheOutcomeTheRefusalAndTheCounts) {
    struct Case {
        const char* what;
        std::function<void(BackupDesk&, BackupRequest&)> setup;
        RunResult outcome;
        RefusalKind refusal;
        std::string refusedPath;  // below the desk's root
        std::size_t files, damaged;
    };
    auto part = [](const char* name, const char* text = "1") {
        return [=](BackupDesk& d, BackupRequest&) { WriteFile(d.T + "/" + name, PartMet(text)); };
    };
    auto write = [](const char* below, std::function<void(BackupDesk&, BackupRequest&)> more) {
        return [=](BackupDesk& d, BackupRequest& r) {
            WriteFile(d.root / below, "text");
            more(d, r);
        };
    };
    const auto one = part("001.part.met");
    // clang-format off
    const Case cases[] = {
        {"two part files", [&](BackupDesk& d, BackupRequest& r) { one(d, r); part("002.part.met")(d, r); },
         RunResult::Succeeded, RefusalKind::None, "", 2, 0},
        {"none", [](BackupDesk&, BackupRequest&) {}, RunResult::NothingToDo, RefusalKind::None, "", 0, 0},
        {"relative", [&](BackupDesk& d, BackupRequest& r) { one(d, r); r.backup = "bak"; },
         RunResult::Refused, RefusalKind::BackupNotAbsolute, "", 0, 0},
        {"the temp folder", [&](BackupDesk& d, BackupRequest& r) { one(d, r); r.backup = d.T; },
         RunResult::Refused, RefusalKind::BackupOverlaps, "", 0, 0},
        {"a file", write("backup", one), RunResult::Refused, RefusalKind::NotAFolder, "backup", 0, 0},
        {"foreign in B", write("backup/notes.txt", one), RunResult::Refused, RefusalKind::Foreign, "backup", 0, 0},
        {"foreign in B_old", write("backup_old/notes.txt", one), RunResult::Refused, RefusalKind::Foreign, "backup_old", 0, 0},
        {"a damaged one", [&](BackupDesk& d, BackupRequest& r) { one(d, r); WriteFile(d.T + "/002.part.met", "cut"); },
         RunResult::Failed, RefusalKind::None, "", 1, 1},
        {"a missing extra", [&](BackupDesk& d, BackupRequest& r) { one(d, r); r.entries = {"server.met"}; },
         RunResult::Failed, RefusalKind::None, "", 1, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BackupDesk d;
        BackupRequest request;
        request.temp = d.T;
        request.backup = d.B;
        request.client = d.C;
        request.pauseBeforeRereading = [] {};
        std::size_t told = 0;
        request.progress = [&](std::size_t done, std::size_t all) {
            EXPECT_LE(done, all);
            told = std::max(told, done);
        };
        c.setup(d, request);
        TabfFileOperation op;
        BackgroundRemoval removal;
        const BackupReport report = RunBackup(request, op, removal);
        removal.Wait();
        EXPECT_EQ(report.outcome, c.outcome);
        EXPECT_EQ(report.refusal.kind, c.refusal);
        EXPECT_EQ(report.refusal.path, c.refusedPath.empty() ? "" : d.root / c.refusedPath);
        EXPECT_EQ(report.files, c.files);
        EXPECT_EQ(report.damaged, c.damaged);
        const bool ran = c.outcome == RunResult::Succeeded || c.outcome == RunResult::Failed;
        EXPECT_EQ(report.failure.kind, FailureKind::None);
        EXPECT_EQ(told, ran ? c.files + c.damaged : 0u);
        EXPECT_EQ(FileExists(d.B + "/001.part.met.HWS"), ran);
    }
    {  // a report never filled (the run's thread failed) reads as a failure, never as success
        const std::vector<std::string> said = [] {
            BackupDesk d;
            std::vector<std::string> texts;
            for (const RunMessage& m : BackupTexts(d.f(), BackupReport{}).messages) {
                texts.push_back(m.text);
            }
            return texts;
        }();
        EXPECT_EQ(said, Strings{kFailed});
    }
}

}  // namespace
}  // namespace hw::test
