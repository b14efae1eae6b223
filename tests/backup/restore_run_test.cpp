#include "backup/restore_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "backup/backup_fixture.h"
#include "shell/file_copy.h"

namespace hw::test {
namespace {

namespace fs = std::filesystem;

const char* const kOk = "Restoring *.PART.METs successful !";
const char* const kFailed = "Restoring *.PART.METs failed !";
const char* const kNothing = "Nothing found to restore !";
const std::string kExtraErrors = "Error while restoring up following additional files: \n\n";

TEST(RestoreRun, ReplacesBackedUpFilesAndLeavesOthersAlone) {
    BackupDesk d;
    WriteFile(d.B + "/001.part.met.HWS", PartMet("from backup"));
    WriteFile(d.B + "/notes.txt", "not a backup");
    WriteFile(d.B + "_old/003.part.met.HWS", PartMet("older generation is never read"));
    WriteFile(d.T + "/001.part.met", PartMet("client's own, longer than the backup"));
    WriteFile(d.T + "/002.part.met", PartMet("no backup of me"));
    d.f().RestorePartFiles();
    EXPECT_EQ(ReadFile(d.T + "/001.part.met"), PartMet("from backup"));
    EXPECT_EQ(ReadFile(d.T + "/002.part.met"), PartMet("no backup of me"));
    EXPECT_EQ(Names(d.T), (Strings{"001.part.met", "002.part.met"}));
    EXPECT_EQ(Names(d.B), (Strings{"001.part.met.HWS", "notes.txt"}));  // nothing moved in B
    EXPECT_EQ(d.messages(), Strings{kOk});
    EXPECT_EQ(d.captions(), Strings{"Info ..."});

    // A file that holds the backup's bytes, permissions and time already stays the same file.
    struct stat before {};
    struct stat after {};
    ASSERT_EQ(::stat((d.T + "/001.part.met").c_str(), &before), 0);
    d.f().RestorePartFiles();
    ASSERT_EQ(::stat((d.T + "/001.part.met").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(d.messages(), (Strings{kOk, kOk}));

    // Other bytes behind the same size, permissions and time are no reason to leave it.
    WriteFile(d.T + "/001.part.met", PartMet("from bxckup"));
    fs::last_write_time(d.T + "/001.part.met", fs::last_write_time(d.B + "/001.part.met.HWS"));
    d.f().RestorePartFiles();
    EXPECT_EQ(ReadFile(d.T + "/001.part.met"), PartMet("from backup"));
}

TEST(RestoreRun, NothingFoundRestoresNoAdditionalFilesEither) {
    BackupDesk d;
    WriteFile(d.B + "/~hws_xtra/server.met", "backup copy");
    WriteFile(d.C + "/server.met", "current");
    d.f().listbox_files.add("server.met");
    d.f().RestorePartFiles();                        // B has no part-file backup
    const std::string missing = d.root / "missing";  // its disk not mounted, say
    d.f().edit_backupdir.setText(missing);
    d.f().RestorePartFiles();
    EXPECT_EQ(d.messages(),
              (Strings{kNothing, kNothing + std::string("\n\n") +
                                     "The following Backup-Directory does not exist or is empty "
                                     "(is its disk not mounted?). Nothing was restored.\n\n" +
                                     missing}));
    EXPECT_EQ(d.captions(), (Strings{"Error ...", "Error ..."}));
    EXPECT_EQ(ReadFile(d.C + "/server.met"), "current");
}

TEST(RestoreRun, ATempFolderThatIsNoFullPathIsRefusedAndNothingIsWritten) {
    BackupDesk d;
    // Unique names, so that a regression cannot touch a real file beside the test or in "/".
    const std::string name = "probe-" + std::to_string(::getpid()) + ".part.met";
    WriteFile(d.B + "/" + name + ".HWS", "from backup");
    WriteFile(d.B + "/~hws_xtra/server.met", "backup copy");
    WriteFile(d.C + "/server.met", "current");
    d.f().listbox_files.add("server.met");
    const std::string placeholder = "Click Browse to select TEMP-Folder " + name;
    for (const std::string& temp : {placeholder, std::string()}) {
        d.f().edit_tempdir.setText(temp);
        d.f().RestorePartFiles();
    }
    const std::string refused = d.f().msg_tempdir_not_absolute;
    EXPECT_EQ(d.messages(), (Strings{refused, refused}));
    EXPECT_EQ(d.captions(), (Strings{"Error ...", "Error ..."}));
    EXPECT_FALSE(fs::exists(placeholder));
    EXPECT_FALSE(fs::exists("/" + name));
    EXPECT_EQ(ReadFile(d.C + "/server.met"), "current");
    fs::remove_all(placeholder);
    fs::remove("/" + name);
}

// Only into the temp folder found at the start, until every copy is in place; else by name.
TEST(RestoreRun, WritesOnlyIntoTheTempFolderItFoundAndNamesWhatFailed) {
    enum Fault { kNone, kUnmountedAtACopy, kFolderAtARename };
    // clang-format off
    struct Case { const char* temp; Fault fault; std::string MainForm::*said; const char* after; };
    const Case cases[] = {  // the temp folder below the desk's root; said, the temp folder, after
        {"mnt/Temp", kNone,            &MainForm::msg_tempdir_missing,     ""},
        {"file",     kNone,            &MainForm::msg_tempdir_missing,     ""},
        {"temp",     kUnmountedAtACopy, &MainForm::msg_restore_folder_gone, ""},
        {"temp",     kFolderAtARename,  &MainForm::msg_restore_not_changed, "/001.part.met\n\nIs a directory"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.temp) + ", fault " + std::to_string(c.fault));
        BackupDesk d;
        for (const std::string name : {"/001.part.met", "/002.part.met"}) {
            WriteFile(d.B + name + ".HWS", PartMet("from backup"));
            WriteFile(d.T + name, PartMet("client's"));
        }
        WriteFile(d.root / "file", "");
        fs::create_directory(d.root / "mnt");
        d.f().edit_tempdir.setText(d.T = d.root / c.temp);
        d.f().abfFileOperation1.beforeCopy = [&](const std::string&) {
            if (c.fault != kUnmountedAtACopy || fs::exists(d.root / "dropped")) return;
            fs::rename(d.T, d.root / "dropped");  // its empty mount point stays
            fs::create_directory(d.T);
        };
        d.f().abfFileOperation1.beforeChange = [&] {
            if (c.fault != kFolderAtARename) return;
            fs::remove_all(d.T + "/001.part.met");
            fs::create_directories(d.T + "/001.part.met/x");
        };
        d.f().RestorePartFiles();
        const std::string said = d.f().*c.said + d.T + c.after;
        EXPECT_EQ(d.messages(), Strings{c.fault == kNone ? said : kFailed + ("\n\n" + said)});
        EXPECT_EQ(d.f().lastRunEnd() == MainForm::RunEnd::Refused, c.fault == kNone);
        EXPECT_EQ(Names(c.fault == kUnmountedAtACopy ? d.T : d.root / "mnt"), Strings{});
    }
    if (::geteuid() == 0) {  // root on a user's settings would leave files only root can change
        BackupDesk d;
        WriteFile(d.B + "/001.part.met.HWS", PartMet("from backup"));
        WriteFile(d.f().settingsFile = d.root / "hoardwise.INI", "");
        ASSERT_EQ(::chown(d.f().settingsFile.c_str(), 4242, 4242), 0);
        d.f().RestorePartFiles();
        EXPECT_EQ(d.f().lastRunEnd(), MainForm::RunEnd::Refused);
        EXPECT_EQ(Names(d.T), Strings{});
    }
}

TEST(RestoreRun, SubfolderModeCreatesMissingSubfoldersAndIgnoresSimpleBackups) {
    BackupDesk d;
    d.subfolderMode();
    WriteFile(d.B + "/Temp1/003.part.met.HWS", PartMet("3"));
    WriteFile(d.B + "/Temp2/004.PART.MET.HWS", PartMet("4"));
    d.f().RestorePartFiles();
    EXPECT_EQ(ReadFile(d.T + "/Temp1/003.part.met"), PartMet("3"));
    EXPECT_EQ(ReadFile(d.T + "/Temp2/004.PART.MET"), PartMet("4"));
    EXPECT_EQ(d.messages(), Strings{kOk});

    BackupDesk s;  // a backup made in simple mode, restored in subfolder mode
    WriteFile(s.T + "/001.part.met", PartMet("1"));
    s.f().BackupPartFiles(false);
    s.subfolderMode();
    fs::remove(s.T + "/001.part.met");
    s.f().RestorePartFiles();
    EXPECT_EQ(s.messages().back(), kNothing);
    EXPECT_TRUE(Names(s.T).empty());
}

TEST(RestoreRun, AdditionalFilesComeBackAndMissingOrUnsafeOnesAreNamedByTheirTarget) {
    BackupDesk d;
    WriteFile(d.B + "/001.part.met.HWS", PartMet("1"));
    WriteFile(d.B + "/~hws_xtra/server.met", "servers");
    WriteFile(d.B + "/~hws_xtra/config/x.dat", "x");
    WriteFile(d.B + "/outside.dat", "would escape");
    for (const char* entry : {"server.met", "config/x.dat", "added-later.met", "../outside.dat"}) {
        d.f().listbox_files.add(entry);
    }
    d.f().RestorePartFiles();
    EXPECT_EQ(ReadFile(d.C + "/server.met"), "servers");
    EXPECT_EQ(ReadFile(d.C + "/config/x.dat"), "x");
    EXPECT_FALSE(fs::exists(d.root / "outside.dat"));
    EXPECT_EQ(d.messages(), (Strings{kOk, kExtraErrors + d.C + "/../outside.dat\n" + d.C +
                                              "/added-later.met\n"}));
    EXPECT_EQ(d.captions().back(), "Error ...");

    BackupDesk placeholder;  // a client folder that is no real path writes nothing anywhere
    WriteFile(placeholder.B + "/001.part.met.HWS", PartMet("1"));
    WriteFile(placeholder.B + "/~hws_xtra/server.met", "servers");
    placeholder.f().listbox_files.add("server.met");
    placeholder.f().edit_clientdir.setText("");
    placeholder.f().RestorePartFiles();
    EXPECT_EQ(placeholder.messages().back(), kExtraErrors + "/server.met\n");
}

TEST(RestoreRun, AFailedCopyKeepsTheClientsFileWholeAndTheOthersAreStillRestored) {
    BackupDesk d;
    WriteFile(d.B + "/001.part.met.HWS", PartMet(std::string(5000, 'b')));
    WriteFile(d.B + "/002.part.met.HWS", PartMet("two"));
    WriteFile(d.T + "/001.part.met", PartMet("current 1"));
    WriteFile(d.T + "/002.part.met", PartMet("current 2"));
    d.f().abfFileOperation1.byteWrite = [](int to, const char* data, std::size_t size) {
        if (size > 100) {  // the large one: half written, then the disk is full
            if (::write(to, data, size / 2) < 0) return false;
            errno = ENOSPC;
            return false;
        }
        return files::WriteAllBytes(to, data, size);
    };
    d.f().RestorePartFiles();
    EXPECT_EQ(ReadFile(d.T + "/001.part.met"), PartMet("current 1"));
    EXPECT_EQ(ReadFile(d.T + "/002.part.met"), PartMet("two"));
    EXPECT_EQ(Names(d.T), (Strings{"001.part.met", "002.part.met"}));
    EXPECT_EQ(d.messages(), Strings{kFailed + std::string("\n\n") + d.f().msg_restore_not_changed +
                                    d.T + "/001.part.met\n\n" + d.f().msg_cause_full});
    EXPECT_EQ(d.captions(), Strings{"Error ..."});
}

TEST(RestoreRun, APipeNamedLikeABackupNeitherHangsTheRunNorStopsTheOthers) {
    BackupDesk d;
    WriteFile(d.B + "/001.part.met.HWS", PartMet("from backup"));
    ASSERT_EQ(::mkfifo((d.B + "/002.part.met.HWS").c_str(), 0644), 0);
    WriteFile(d.T + "/002.part.met", PartMet("current 2"));
    const std::string expected = kFailed + std::string("\n\n") + d.f().msg_restore_not_read + d.B +
                                 "/002.part.met.HWS\n\n" + std::strerror(EINVAL);
    const int shown = InChildWithAlarm([&] {
        d.f().RestorePartFiles();
        return d.messages() == Strings{expected} ? 0 : 1;
    });
    EXPECT_EQ(shown, 0) << "1: other message, -1: hung";
    EXPECT_EQ(ReadFile(d.T + "/001.part.met"), PartMet("from backup"));
    EXPECT_EQ(ReadFile(d.T + "/002.part.met"), PartMet("current 2"));
}

TEST(RestoreRun, LeftoversOfCopiesCutShortAreRemovedAndNothingElse) {
    const Strings own = {"temp/.001.part.met.hws-tmp.AbC123", "temp/.hws-tmp.x1Y2z3",
                         "temp/Temp1/.hws-tmp.sub000", "client/config/.x.dat.hws-tmp.cfg000",
                         "client/.hws-tmp.top000"};
    const Strings others = {"temp/.hws-tmp.abc12",
                            "temp/hws-tmp.abc123",
                            "temp/.x.hws-tmp.abc123.bak",
                            "temp/.hws-tmp.dir000/inside",
                            "temp/Temp1/deeper/.hws-tmp.deep00",
                            "client/other/.hws-tmp.oth000",
                            "temp/.x.part.met.hws_tmp.abc123"};
    for (bool restore : {true, false}) {
        SCOPED_TRACE(restore ? "restore" : "backup");
        BackupDesk d;
        WriteFile(d.B + "/001.part.met.HWS", PartMet("1"));
        WriteFile(d.T + "/001.part.met", PartMet("1"));
        WriteFile(d.C + "/server.met", "s");
        WriteFile(d.C + "/config/x.dat", "x");
        WriteFile(d.B + "/~hws_xtra/server.met", "s");
        WriteFile(d.B + "/~hws_xtra/config/x.dat", "x");
        d.f().listbox_files.add("server.met");
        d.f().listbox_files.add("config/x.dat");
        for (const std::string& name : own) WriteFile(d.root / name, "half");
        for (const std::string& name : others) WriteFile(d.root / name, "keep");
        fs::create_symlink(d.C + "/server.met", d.T + "/.hws-tmp.lnk000");
        if (restore) {
            d.f().RestorePartFiles();
        } else {
            d.f().BackupPartFiles(false);
        }
        for (const std::string& name : own) EXPECT_FALSE(fs::exists(d.root / name)) << name;
        for (const std::string& name : others) EXPECT_EQ(ReadFile(d.root / name), "keep") << name;
        EXPECT_TRUE(fs::is_symlink(d.T + "/.hws-tmp.lnk000"));
        EXPECT_EQ(ReadFile(d.C + "/server.met"), "s");
    }
}

TEST(RestoreRun, AnAbsoluteEntryIsNamedAsWritten) {
    BackupDesk d;
    WriteFile(d.B + "/001.part.met.HWS", PartMet("1"));
    d.f().listbox_files.add("/etc/hostname");
    d.f().RestorePartFiles();
    EXPECT_EQ(d.messages(), (Strings{kOk, kExtraErrors + "/etc/hostname\n"}));
}

// The engine's report, without a window.
TEST(RestoreEngine, ReportsTheOutcomeTheRefusalAndTheCounts) {
    struct Case {
        const char* what;
        const char* copies;  // in B: good ones "g", damaged ones "d"; "" none
        bool older;          // read from B_old
        const char* temp;    // below the desk's root; "" the desk's temp folder
        RunResult outcome;
        RefusalKind refusal;
        const char* refusedPath;  // below the desk's root
        std::size_t files, damaged;
    };
    // clang-format off
    const Case cases[] = {
        {"B absent",        "",   false, "",        RunResult::Refused,   RefusalKind::NothingToRestore, "backup",  0, 0},
        {"B_old absent",    "g",  true,  "",        RunResult::Refused,   RefusalKind::NothingToRestore, "backup_old", 0, 0},
        {"temp relative",   "g",  false, "-",       RunResult::Refused,   RefusalKind::TempNotAbsolute, "",         0, 0},
        {"temp missing",    "g",  false, "gone",    RunResult::Refused,   RefusalKind::TempMissing,     "gone",     0, 0},
        {"good",            "gg", false, "",        RunResult::Succeeded, RefusalKind::None,            "",         2, 0},
        {"one damaged",     "gd", false, "",        RunResult::Failed,    RefusalKind::None,            "",         1, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BackupDesk d;
        for (std::size_t k = 0; c.copies[k] != '\0'; ++k) {
            WriteFile(d.B + "/00" + std::to_string(k) + ".part.met.HWS",
                      c.copies[k] == 'g' ? PartMet("good") : "cut");
        }
        RestoreRequest request;
        request.temp = *c.temp == '\0' ? d.T : *c.temp == '-' ? "temp" : d.root / c.temp;
        request.backup = d.B;
        request.client = d.C;
        request.older = c.older;
        TabfFileOperation op;
        BackgroundRemoval removal;
        const RestoreReport report = RunRestore(request, op, removal);
        removal.Wait();
        EXPECT_EQ(report.outcome, c.outcome);
        EXPECT_EQ(report.refusal.kind, c.refusal);
        EXPECT_EQ(report.refusal.path, *c.refusedPath == '\0' ? "" : d.root / c.refusedPath);
        EXPECT_EQ(report.files, c.files);
        EXPECT_EQ(report.damagedCopies.size(), c.damaged);
        EXPECT_EQ(report.failure.kind, FailureKind::None);
        EXPECT_EQ(FileExists(d.T + "/000.part.met"), c.files > 0);
    }
}

}  // namespace
}  // namespace hw::test

namespace hw::test {
namespace {

// Chosen part files come back alone; a place that is no plain part-file place is never a path.
TEST(RestoreEngine, OnlyTheChosenPartFilesComeBackAndUnknownOrUnsafePlacesAreNamed) {
    struct Case {
        bool subfolders;
        Strings only;
        Strings notInBackup;
        Strings fromOlder = {};  // B_old holds 001 and 003
    };
    // clang-format off
    const Case cases[] = {
        {false, {"001.part.met", "001.part.met"}, {}},
        {false, {"001.part.met", "009.part.met", "../out/001.part.met", "/x/001.part.met",
                 "S/001.part.met", "001.part.met.HWS", ""},
                {"../out/001.part.met", "/x/001.part.met", "S/001.part.met", "001.part.met.HWS", "",
                 "009.part.met"}},
        {true,  {"S/001.part.met", "S/T/001.part.met", "001.part.met", "../001.part.met", "./001.part.met"},
                {"S/T/001.part.met", "001.part.met", "../001.part.met", "./001.part.met"}},
        // One run from both generations; a place named for both comes from B.
        {false, {"001.part.met"}, {}, {"003.part.met", "001.part.met"}},
        {true,  {}, {"S/004.part.met"}, {"S/003.part.met", "S/004.part.met"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.only.size());
        BackupDesk d;
        const std::string sub = c.subfolders ? "/S" : "";
        for (const char* name : {"/001.part.met", "/002.part.met"}) {
            WriteFile(d.B + sub + name + ".HWS", PartMet(std::string("backup of ") + name));
        }
        for (const char* name : {"/001.part.met", "/003.part.met"}) {
            WriteFile(d.B + "_old" + sub + name + ".HWS", PartMet(std::string("older ") + name));
        }
        WriteFile(d.T + sub + "/002.part.met", PartMet("further along"));
        WriteFile(d.B + "/~hws_xtra/server.met", "backup copy");
        WriteFile(d.C + "/server.met", "current");
        RestoreRequest request;
        request.temp = d.T;
        request.backup = d.B;
        request.client = d.C;
        request.subfolders = c.subfolders;
        request.entries = {"server.met"};
        request.only = c.only;
        request.onlyFromOlder = c.fromOlder;
        std::vector<std::size_t> told;
        request.progress = [&](std::size_t, std::size_t all) { told.push_back(all); };
        TabfFileOperation op;
        BackgroundRemoval removal;
        const RestoreReport report = RunRestore(request, op, removal);
        removal.Wait();
        EXPECT_EQ(report.outcome, c.notInBackup.empty() ? RunResult::Succeeded : RunResult::Failed);
        EXPECT_EQ(report.notInBackup, c.notInBackup);
        const bool third = !c.fromOlder.empty();
        EXPECT_EQ(report.files, c.only.empty() ? 1u : third ? 2u : 1u);
        EXPECT_EQ(told, std::vector<std::size_t>(report.files, report.files));  // of the chosen
        if (!c.only.empty()) {
            EXPECT_EQ(ReadFile(d.T + sub + "/001.part.met"), PartMet("backup of /001.part.met"));
        }
        if (third) {
            EXPECT_EQ(ReadFile(d.T + sub + "/003.part.met"), PartMet("older /003.part.met"));
        }
        EXPECT_EQ(ReadFile(d.T + sub + "/002.part.met"), PartMet("further along"));
        EXPECT_EQ(ReadFile(d.C + "/server.met"), "current");
        EXPECT_FALSE(fs::exists(d.root / "out"));
    }
}

}  // namespace
}  // namespace hw::test
