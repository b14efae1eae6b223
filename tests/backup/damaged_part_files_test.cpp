// Damaged, unreadable and vanishing part files: a backup never puts them in place of a good
// copy, and a restore never copies a damaged backup over the client's file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "backup/backup_fixture.h"

namespace hw::test {
namespace {

namespace fs = std::filesystem;

using Outcome = MainForm::RunOutcome;
const char* const kOk = "Backing up *.PART.METs successful !";
const char* const kFailed = "Backing up *.PART.METs failed !";

// Good part files beside the ones a test is about; enough of them make the copies run on
// several threads.
void AddOthers(const std::string& folder, int count, const std::string& suffix = "") {
    for (int i = 0; i < count; ++i) {
        const std::string name = std::to_string(500 + i);
        WriteFile(folder + "/" + name + ".part.met" + suffix, PartMet(name));
    }
}

TEST(DamagedPartFiles, ADamagedFileKeepsItsLastGoodCopyInBothGenerations) {
    for (const auto& [subfolders, others] : {std::pair{false, 0}, {true, 0}, {false, 300}}) {
        SCOPED_TRACE(subfolders ? "subfolders" : "simple");
        BackupDesk d;
        if (subfolders) d.subfolderMode();
        const std::string folder = subfolders ? d.T + "/Temp1" : d.T;
        AddOthers(folder, others);
        const std::string saved = subfolders ? d.B + "/Temp1" : d.B;
        const std::string savedOld = subfolders ? d.B + "_old/Temp1" : d.B + "_old";
        WriteFile(folder + "/001.part.met", PartMet("good 1"));
        WriteFile(folder + "/002.part.met", PartMet("first 2"));
        EXPECT_EQ(d.f().BackupPartFiles(false), Outcome::Succeeded);
        EXPECT_EQ(d.pauses, 0);

        WriteFile(folder + "/001.part.met", "");  // the client crashed while rewriting it
        WriteFile(folder + "/002.part.met", PartMet("second 2"));
        EXPECT_EQ(d.f().BackupPartFiles(false), Outcome::Succeeded);
        EXPECT_EQ(d.pauses, 1);
        EXPECT_EQ(ReadFile(saved + "/001.part.met.HWS"), PartMet("good 1"));
        EXPECT_EQ(ReadFile(saved + "/002.part.met.HWS"), PartMet("second 2"));
        EXPECT_EQ(d.messages(),
                  (Strings{kOk, kOk, d.f().msg_damaged_kept + folder + "/001.part.met\n"}));
        EXPECT_EQ(d.captions().back(), "Error ...");

        WriteFile(folder + "/001.part.met", PartMet("newer 1").substr(0, 20));  // cut short
        d.desk.processes.running = {"emule.exe"};
        EXPECT_EQ(d.f().BackupPartFiles(true), Outcome::Succeeded);
        EXPECT_EQ(ReadFile(saved + "/001.part.met.HWS"), PartMet("good 1"));
        EXPECT_EQ(ReadFile(savedOld + "/001.part.met.HWS"), PartMet("good 1"));
        EXPECT_EQ(d.messages().size(), 3u);  // automatic runs stay silent
        EXPECT_EQ(Names(saved).size(), 2u + others);
        if (others > 0) {
            EXPECT_EQ(ReadFile(saved + "/799.part.met.HWS"), PartMet("799"));
        }
    }
}

TEST(DamagedPartFiles, ADamagedFileWithoutAGoodEarlierCopyIsNamedAndTheOthersAreBackedUp) {
    for (bool earlierDamaged : {false, true}) {
        SCOPED_TRACE(earlierDamaged ? "earlier copy damaged" : "no earlier copy");
        BackupDesk d;
        WriteFile(d.T + "/001.part.met", PartMet("1"));
        WriteFile(d.T + "/002.part.met", "\xe0");
        if (earlierDamaged) WriteFile(d.B + "/002.part.met.HWS", "\xe1 cut");
        WriteFile(d.C + "/server.met", "no part file");  // additional files are not judged
        d.f().listbox_files.add("server.met");
        EXPECT_EQ(d.f().BackupPartFiles(false), Outcome::Failed);
        EXPECT_EQ(Names(d.B), (Strings{"001.part.met.HWS", "~hws_xtra"}));
        EXPECT_EQ(ReadFile(d.B + "/~hws_xtra/server.met"), "no part file");
        const std::string named = d.f().msg_damaged_lost + d.T + "/002.part.met\n";
        EXPECT_EQ(d.messages(), (Strings{kFailed, named}));
        EXPECT_EQ(d.f().runFailure(), named);  // what the icon announces of an automatic run
    }
}

TEST(DamagedPartFiles, AFileDamagedOnlyForAMomentIsBackedUpAfterThePause) {
    BackupDesk d;
    WriteFile(d.B + "/001.part.met.HWS", PartMet("previous"));
    WriteFile(d.T + "/001.part.met", PartMet("being written").substr(0, 10));
    d.f().pauseBeforeRereading = [&] {
        ++d.pauses;
        WriteFile(d.T + "/001.part.met", PartMet("rewritten"));
    };
    EXPECT_EQ(d.f().BackupPartFiles(false), Outcome::Succeeded);
    EXPECT_EQ(d.pauses, 1);
    EXPECT_EQ(Names(d.B), Strings{"001.part.met.HWS"});
    EXPECT_EQ(ReadFile(d.B + "/001.part.met.HWS"), PartMet("rewritten"));
    EXPECT_EQ(d.messages(), Strings{kOk});
}

TEST(DamagedPartFiles, AnUnreadableFileIsCarriedOverAndOneThatVanishesIsLeftOut) {
    BackupDesk d;
    WriteFile(d.T + "/001.part.met", PartMet("1"));
    ASSERT_EQ(::mkfifo((d.T + "/002.part.met").c_str(), 0644), 0);  // no regular file
    WriteFile(d.T + "/003.part.met", PartMet("3"));
    WriteFile(d.B + "/002.part.met.HWS", PartMet("previous 2"));
    WriteFile(d.B + "/003.part.met.HWS", PartMet("previous 3"));
    // The client deletes a part file when its download completes: here after the listing.
    d.f().abfFileOperation1.beforeCopy = [&](const std::string& source) {
        if (source == d.T + "/003.part.met") fs::remove(source);
    };
    const int result = InChildWithAlarm([&] {
        const Outcome outcome = d.f().BackupPartFiles(false);
        d.f().FinishBackgroundWork();
        const Strings expected{kOk, d.f().msg_damaged_kept + d.T + "/002.part.met\n"};
        return outcome == Outcome::Succeeded && d.messages() == expected ? 0 : 1;
    });
    EXPECT_EQ(result, 0) << "1: another outcome or other messages, -1: hung";
    EXPECT_EQ(Names(d.B), (Strings{"001.part.met.HWS", "002.part.met.HWS"}));
    EXPECT_EQ(ReadFile(d.B + "/002.part.met.HWS"), PartMet("previous 2"));
    EXPECT_EQ(ReadFile(d.B + "_old/003.part.met.HWS"), PartMet("previous 3"));
}

// aMule writes a part file anew by removing it and writing it again, keeping a copy
// "NNN.part.met.backup" meanwhile. A file that the newest generation holds and the listing
// missed is looked for again after the pause. Still missing beside such a copy (the client, killed
// mid-write, will not load it) or damaged, it keeps that copy when not older than the last good
// backup copy, else that one; it is named every run until the client writes it again.
TEST(DamagedPartFiles, AFileTheClientIsWritingAnewIsNeitherLostNorOlderThanItsCopy) {
    for (bool subfolders : {false, true}) {
        SCOPED_TRACE(subfolders ? "subfolders" : "simple");
        BackupDesk d;
        if (subfolders) d.subfolderMode();
        const std::string T = subfolders ? d.T + "/Temp1" : d.T;
        const std::string B = subfolders ? d.B + "/Temp1" : d.B;
        WriteFile(T + "/005.part.met.bak", PartMet("older spare 5"));
        ::usleep(20000);
        for (const char* n : {"001", "002", "003", "004", "005"}) {
            WriteFile(B + "/" + n + ".part.met.HWS", PartMet(std::string("previous ") + n));
        }
        ::usleep(20000);  // the client's copies are newer than the backup copies
        WriteFile(T + "/002.part.met.backup", PartMet("spare 2"));
        WriteFile(T + "/003.part.met", PartMet("3").substr(0, 10));
        WriteFile(T + "/003.part.met.backup", PartMet("spare 3"));
        // 001 is back after the pause; 002, 003 and 005 were being written; 004 completed.
        d.f().pauseBeforeRereading = [&] { WriteFile(T + "/001.part.met", PartMet("back")); };
        for (int run = 1; run <= 3; ++run) {
            SCOPED_TRACE(run);
            EXPECT_EQ(d.f().BackupPartFiles(false), Outcome::Succeeded);
            EXPECT_EQ(Names(B), (Strings{"001.part.met.HWS", "002.part.met.HWS", "003.part.met.HWS",
                                         "005.part.met.HWS"}));
            EXPECT_EQ(ReadFile(B + "/001.part.met.HWS"), PartMet("back"));
            EXPECT_EQ(ReadFile(B + "/002.part.met.HWS"), PartMet("spare 2"));
            EXPECT_EQ(ReadFile(B + "/003.part.met.HWS"), PartMet("spare 3"));
            EXPECT_EQ(ReadFile(B + "/005.part.met.HWS"), PartMet("previous 005"));
            EXPECT_EQ(d.f().lastRunEnd(), MainForm::RunEnd::Damaged);
            EXPECT_EQ(d.messages().back(), d.f().msg_damaged_kept + T + "/003.part.met\n\n" +
                                               d.f().msg_spare_only + T + "/002.part.met\n" + T +
                                               "/005.part.met\n");
        }
    }
}

TEST(DamagedPartFiles, ARestoreNeverCopiesADamagedBackupOverTheClientsFile) {
    for (const int others : {0, 300}) {
        BackupDesk d;
        AddOthers(d.B, others, ".HWS");
        WriteFile(d.B + "/001.part.met.HWS", PartMet("backup 1"));
        WriteFile(d.B + "/002.part.met.HWS", PartMet("backup 2").substr(0, 26));
        WriteFile(d.B + "/~hws_xtra/server.met", "no part file");
        WriteFile(d.T + "/001.part.met", PartMet("client 1"));
        WriteFile(d.T + "/002.part.met", PartMet("client 2"));
        d.f().listbox_files.add("server.met");
        d.f().RestorePartFiles();
        EXPECT_EQ(ReadFile(d.T + "/001.part.met"), PartMet("backup 1"));
        EXPECT_EQ(ReadFile(d.T + "/002.part.met"), PartMet("client 2"));
        EXPECT_EQ(Names(d.T).size(), 2u + others);  // nothing left behind
        if (others > 0) {
            EXPECT_EQ(ReadFile(d.T + "/799.part.met"), PartMet("799"));
        }
        EXPECT_EQ(ReadFile(d.C + "/server.met"), "no part file");
        EXPECT_EQ(d.messages(), (Strings{"Restoring *.PART.METs failed !",
                                         d.f().msg_restore_damaged + d.B + "/002.part.met.HWS\n"}));
    }
}

}  // namespace
}  // namespace hw::test
