#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
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
    WriteFile(d.B + "/001.part.met.HWS", "from backup");
    WriteFile(d.B + "/notes.txt", "not a backup");
    WriteFile(d.B + "_old/003.part.met.HWS", "older generation is never read");
    WriteFile(d.T + "/001.part.met", "client's own, longer than the backup");
    WriteFile(d.T + "/002.part.met", "no backup of me");
    d.f().RestorePartFiles();
    EXPECT_EQ(ReadFile(d.T + "/001.part.met"), "from backup");
    EXPECT_EQ(ReadFile(d.T + "/002.part.met"), "no backup of me");
    EXPECT_EQ(Names(d.T), (Strings{"001.part.met", "002.part.met"}));
    EXPECT_EQ(Names(d.B), (Strings{"001.part.met.HWS", "notes.txt"}));  // nothing moved in B
    EXPECT_EQ(d.messages(), Strings{kOk});
    EXPECT_EQ(d.captions(), Strings{"Info ..."});
}

TEST(RestoreRun, NothingFoundRestoresNoAdditionalFilesEither) {
    BackupDesk d;
    WriteFile(d.B + "/~hws_xtra/server.met", "backup copy");
    WriteFile(d.C + "/server.met", "current");
    d.f().listbox_files.add("server.met");
    d.f().RestorePartFiles();  // B has no part-file backup
    d.f().edit_backupdir.setText(d.root / "missing");
    d.f().RestorePartFiles();
    EXPECT_EQ(d.messages(), (Strings{kNothing, kNothing}));
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

TEST(RestoreRun, SubfolderModeCreatesMissingSubfoldersAndIgnoresSimpleBackups) {
    BackupDesk d;
    d.subfolderMode();
    WriteFile(d.B + "/Temp1/003.part.met.HWS", "3");
    WriteFile(d.B + "/Temp2/004.PART.MET.HWS", "4");
    d.f().RestorePartFiles();
    EXPECT_EQ(ReadFile(d.T + "/Temp1/003.part.met"), "3");
    EXPECT_EQ(ReadFile(d.T + "/Temp2/004.PART.MET"), "4");
    EXPECT_EQ(d.messages(), Strings{kOk});

    BackupDesk s;  // a backup made in simple mode, restored in subfolder mode
    WriteFile(s.T + "/001.part.met", "1");
    s.f().BackupPartFiles(false);
    s.subfolderMode();
    fs::remove(s.T + "/001.part.met");
    s.f().RestorePartFiles();
    EXPECT_EQ(s.messages().back(), kNothing);
    EXPECT_TRUE(Names(s.T).empty());
}

TEST(RestoreRun, AdditionalFilesComeBackAndMissingOrUnsafeOnesAreNamedByTheirTarget) {
    BackupDesk d;
    WriteFile(d.B + "/001.part.met.HWS", "1");
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
    WriteFile(placeholder.B + "/001.part.met.HWS", "1");
    WriteFile(placeholder.B + "/~hws_xtra/server.met", "servers");
    placeholder.f().listbox_files.add("server.met");
    placeholder.f().edit_clientdir.setText("");
    placeholder.f().RestorePartFiles();
    EXPECT_EQ(placeholder.messages().back(), kExtraErrors + "/server.met\n");
}

TEST(RestoreRun, AFailedCopyKeepsTheClientsFileWholeAndTheOthersAreStillRestored) {
    BackupDesk d;
    WriteFile(d.B + "/001.part.met.HWS", std::string(5000, 'b'));
    WriteFile(d.B + "/002.part.met.HWS", "two");
    WriteFile(d.T + "/001.part.met", "current 1");
    WriteFile(d.T + "/002.part.met", "current 2");
    d.f().abfFileOperation1.byteCopy = [](int from, int to) {
        char buffer[8192];
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got > 100) {  // the large one: half written, then the disk is full
            if (::write(to, buffer, got / 2) < 0) return false;
            errno = ENOSPC;
            return false;
        }
        return got >= 0 && ::write(to, buffer, got) == got;
    };
    d.f().RestorePartFiles();
    EXPECT_EQ(ReadFile(d.T + "/001.part.met"), "current 1");
    EXPECT_EQ(ReadFile(d.T + "/002.part.met"), "two");
    EXPECT_EQ(Names(d.T), (Strings{"001.part.met", "002.part.met"}));
    EXPECT_EQ(d.messages(), Strings{kFailed});
    EXPECT_EQ(d.captions(), Strings{"Error ..."});
}

}  // namespace
}  // namespace hw::test
