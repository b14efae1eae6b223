// The generation a rotation throws away stays hidden beside B and B_old, and the next run
// overwrites it instead of creating every file anew.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "backup/backup_fixture.h"
#include "support/scratch_mounts.h"

namespace hw::test {
namespace {

namespace fs = std::filesystem;

ino_t Inode(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

void WriteParts(BackupDesk& d, const Strings& names, const std::string& generation) {
    for (const std::string& name : names) {
        WriteFile(d.T + "/" + name, PartMet(generation + " " + name));
    }
}

TEST(KeptGeneration, IsOverwrittenByTheNextRunAndHoldsNothingOfItsOwnAfterwards) {
    BackupDesk d;
    WriteFile(d.C + "/server.met", "server list");
    d.f().listbox_files.add("server.met");
    const Strings first{"001.part.met", "002.part.met", "003.part.met", "005.part.met",
                        "006.part.met"};
    for (const char* generation : {"g1", "g2", "g3"}) {
        WriteParts(d, first, generation);
        d.f().BackupPartFiles(false);
    }
    d.f().FinishBackgroundWork();
    const std::string kept = d.B + ".hws-discard";
    ASSERT_EQ(ReadFile(kept + "/005.part.met.HWS"), PartMet("g1 005.part.met"));
    const ino_t reusable = Inode(kept + "/005.part.met.HWS");
    // What another tool may have left in the hidden folder meanwhile: a link out of it, a second
    // name of a file (a hard-link snapshot), a folder shaped like a generation's. (Anything else
    // makes it foreign: it is then left alone and the run refused.)
    WriteFile(d.root / "outside", "not the backup's");
    fs::remove(kept + "/002.part.met.HWS");
    fs::create_symlink(d.root / "outside", kept + "/002.part.met.HWS");
    fs::create_hard_link(kept + "/003.part.met.HWS", d.root / "snapshot");
    WriteFile(kept + "/folder/inner.HWS", "x");

    fs::remove(d.T + "/001.part.met");
    WriteParts(d, {"002.part.met", "003.part.met", "004.part.met", "005.part.met", "006.part.met"},
               "g4");
    // A download that completes between the listing and its copy.
    d.f().abfFileOperation1.beforeCopy = [&](const std::string& source) {
        if (source == d.T + "/006.part.met") fs::remove(source);
    };
    d.f().BackupPartFiles(false);
    d.f().FinishBackgroundWork();

    EXPECT_EQ(Names(d.B), (Strings{"002.part.met.HWS", "003.part.met.HWS", "004.part.met.HWS",
                                   "005.part.met.HWS", "~hws_xtra"}));
    for (const char* name : {"002", "003", "004", "005"}) {
        const std::string file = std::string(name) + ".part.met";
        EXPECT_EQ(ReadFile(d.B + "/" + file + ".HWS"), PartMet("g4 " + file));
    }
    EXPECT_EQ(ReadFile(d.B + "/~hws_xtra/server.met"), "server list");
    EXPECT_EQ(ReadFile(d.B + "_old/001.part.met.HWS"), PartMet("g3 001.part.met"));
    EXPECT_EQ(ReadFile(kept + "/001.part.met.HWS"), PartMet("g2 001.part.met"));
    EXPECT_EQ(Inode(d.B + "/005.part.met.HWS"), reusable);
    EXPECT_EQ(ReadFile(d.root / "outside"), "not the backup's");
    EXPECT_EQ(ReadFile(d.root / "snapshot"), PartMet("g1 003.part.met"));
    EXPECT_FALSE(fs::is_symlink(d.B + "/002.part.met.HWS"));
}

TEST(KeptGeneration, InSubfolderModeKeepsOnlyTheSubfoldersStillBackedUp) {
    BackupDesk d;
    d.subfolderMode();
    WriteFile(d.T + "/Temp1/001.part.met", PartMet("1"));
    WriteFile(d.T + "/Temp2/002.part.met", PartMet("2"));
    for (int run = 0; run < 3; ++run) d.f().BackupPartFiles(false);
    fs::remove_all(d.T + "/Temp2");
    WriteFile(d.T + "/Temp1/003.part.met", PartMet("3"));
    d.f().BackupPartFiles(false);
    EXPECT_EQ(Names(d.B), Strings{"Temp1"});
    EXPECT_EQ(Names(d.B + "/Temp1"), (Strings{"001.part.met.HWS", "003.part.met.HWS"}));
    EXPECT_EQ(ReadFile(d.B + "/Temp1/003.part.met.HWS"), PartMet("3"));
}

TEST(KeptGeneration, IsNotKeptOnANearlyFullDisk) {
    BackupDesk d;
    const std::string disk = d.root / "disk";
    fs::create_directories(disk);
    ScratchMounts mounts;
    const std::string why = mounts.MountTmpfs(disk, 4);
    if (!why.empty()) GTEST_SKIP() << why;
    WriteFile(d.T + "/001.part.met", PartMet("1"));
    d.f().edit_backupdir.setText(disk + "/B");
    for (const bool nearlyFull : {false, true}) {
        SCOPED_TRACE(nearlyFull ? "nearly full" : "room enough");
        // 3.9 of 4 MB taken.
        if (nearlyFull) WriteFile(disk + "/ballast", std::string(3900 * 1024, 'b'));
        for (int run = 0; run < 3; ++run) d.f().BackupPartFiles(false);
        d.f().FinishBackgroundWork();
        EXPECT_EQ(ReadFile(disk + "/B/001.part.met.HWS"), PartMet("1"));
        EXPECT_EQ(FolderExists(disk + "/B.hws-discard"), !nearlyFull);
    }
}

}  // namespace
}  // namespace hw::test
