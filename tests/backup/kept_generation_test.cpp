// The generation a rotation throws away stays hidden beside B and B_old, and the next run
// overwrites it instead of creating every file anew.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "backup/backup_fixture.h"
#include "shell/file_copy.h"
#include "shell/folders.h"
#include "support/scratch_mounts.h"

namespace hw::test {
namespace {

namespace fs = std::filesystem;

const char* const kOk = "Backing up *.PART.METs successful !";

ino_t Inode(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

void WriteParts(BackupDesk& d, const Strings& names, const std::string& generation) {
    for (const std::string& name : names) {
        WriteFile(d.T + "/" + name, PartMet(generation + " " + name));
    }
}

// A desk whose backup folder B lies on a small tmpfs of its own, mounted at `disk`; `why` says
// why there is none (the test is then skipped). The disk is unmounted before the desk's folders
// go.
struct SmallDiskDesk : BackupDesk {
    explicit SmallDiskDesk(int megabytes, int inodes = 0) {
        fs::create_directories(disk);
        why = mounts.MountTmpfs(disk, megabytes, inodes);
        f().edit_backupdir.setText(disk + "/B");
    }
    std::string disk = root / "disk";
    ScratchMounts mounts;
    std::string why;
};

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
    const std::string kept = d.root / ".backup.hws-discard";
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
    SmallDiskDesk d(4);
    if (!d.why.empty()) GTEST_SKIP() << d.why;
    const std::string& disk = d.disk;
    WriteFile(d.T + "/001.part.met", PartMet("1"));
    for (const bool nearlyFull : {false, true}) {
        SCOPED_TRACE(nearlyFull ? "nearly full" : "room enough");
        // 3.9 of 4 MB taken.
        if (nearlyFull) WriteFile(disk + "/ballast", std::string(3900 * 1024, 'b'));
        for (int run = 0; run < 3; ++run) d.f().BackupPartFiles(false);
        d.f().FinishBackgroundWork();
        EXPECT_EQ(ReadFile(disk + "/B/001.part.met.HWS"), PartMet("1"));
        EXPECT_EQ(FolderExists(disk + "/.B.hws-discard"), !nearlyFull);
    }
}

// Kept while the next run, writing only what changed since it, leaves 5 % free; once thrown
// away, kept again only from 7.5 %, so that a disk near a mark does not swap from run to run.
TEST(KeptGeneration, IsKeptWhileTheNextRunLeavesRoomAndAgainOnlyWithMore) {
    SmallDiskDesk d(4);
    if (!d.why.empty()) GTEST_SKIP() << d.why;
    const std::string& disk = d.disk;
    WriteFile(d.T + "/001.part.met", PartMet("unchanged"));
    std::string ballast;
    auto leaveFree = [&](double share) {
        struct statvfs info {};
        ASSERT_EQ(::statvfs(disk.c_str(), &info), 0);
        const double extra = (info.f_bavail - share * info.f_blocks) * info.f_frsize;
        ballast.resize(static_cast<std::size_t>(std::max(0.0, ballast.size() + extra)), 'b');
        WriteFile(disk + "/ballast", ballast);
    };
    int writes = 0;
    d.f().abfFileOperation1.byteWrite = [&](int to, const char* data, std::size_t size) {
        ++writes;
        return files::WriteAllBytes(to, data, size);
    };
    for (int run = 0; run < 3; ++run) d.f().BackupPartFiles(false);
    const struct {
        double free;
        bool kept;
        int writes;
    } rows[] = {
        {0.06, true, 0}, {0.03, false, 1}, {0.06, false, 1}, {0.09, true, 1}, {0.06, true, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "free " << row.free << " kept " << row.kept);
        d.f().FinishBackgroundWork();
        leaveFree(row.free);
        const ino_t reusable = Inode(disk + "/.B.hws-discard/001.part.met.HWS");
        writes = 0;
        d.f().BackupPartFiles(false);
        d.f().FinishBackgroundWork();
        EXPECT_EQ(d.messages().back(), kOk);
        EXPECT_EQ(FolderExists(disk + "/.B.hws-discard"), row.kept);
        EXPECT_EQ(writes, row.writes);
        EXPECT_EQ(Inode(disk + "/B/001.part.met.HWS") == reusable, row.writes == 0);
    }
}

TEST(KeptGeneration, ADiskOutOfInodesIsToldSo) {
    SmallDiskDesk d(4, 64);
    if (!d.why.empty()) GTEST_SKIP() << d.why;
    const std::string& disk = d.disk;
    for (const char* name : {"001.part.met", "002.part.met"})
        WriteFile(d.T + "/" + name, PartMet(name));
    int filler = 0;
    while (::mknod((disk + "/" + std::to_string(filler)).c_str(), S_IFREG | 0600, 0) == 0) ++filler;
    ASSERT_EQ(errno, ENOSPC);
    // Room for the staging folder and its mark, none for the copies.
    for (int k = 1; k <= 2; ++k) fs::remove(disk + "/" + std::to_string(filler - k));
    d.f().BackupPartFiles(false);
    const std::string told = d.messages().back();
    EXPECT_EQ(told.substr(told.rfind("\n\n") + 2), d.f().msg_cause_no_inodes) << told;
    EXPECT_EQ(told.find("disk full"), std::string::npos) << told;

    // A restore into a temp folder on that disk says the same.
    d.f().edit_backupdir.setText(d.B);
    d.f().BackupPartFiles(false);
    d.f().edit_tempdir.setText(disk);
    while (::mknod((disk + "/" + std::to_string(filler)).c_str(), S_IFREG | 0600, 0) == 0) ++filler;
    d.f().RestorePartFiles(false);
    const std::string restored = d.messages().back();
    EXPECT_EQ(restored.substr(restored.rfind("\n\n") + 2), d.f().msg_cause_no_inodes) << restored;
}

// On a nearly full disk the generation thrown away is removed in the background; a run that needs
// its name again at once waits for that removal. Which of two racing removals stumbles is chance.
TEST(KeptGeneration, ARunRightAfterALargeOneWasThrownAwayWaitsForItsRemoval) {
    SmallDiskDesk d(64, 6100);  // one generation of 6,000 copies
    if (!d.why.empty()) GTEST_SKIP() << d.why;
    const std::string& disk = d.disk;
    WriteFile(d.T + "/0.part.met", PartMet("first"));
    d.f().BackupPartFiles(false);
    for (int round = 0; round < 6; ++round) {
        fs::remove_all(disk + "/B_old");  // as a run with 6,000 part files left it
        WriteFile(disk + "/B_old/.hws-generation", "");
        for (int i = 0; i < 6000; ++i) WriteFile(disk + "/B_old/" + std::to_string(i) + ".HWS", "");
        for (const std::string run : {"throws it away ", "needs the name "}) {
            WriteFile(d.T + "/0.part.met", PartMet(run + std::to_string(round)));
            d.f().BackupPartFiles(false);
        }
    }
    EXPECT_EQ(d.messages(), Strings(13, kOk));
    EXPECT_EQ(ReadFile(disk + "/B/0.part.met.HWS"), PartMet("needs the name 5"));
    d.f().FinishBackgroundWork();
    EXPECT_EQ(Names(disk), (Strings{".B.hws-discard", "B", "B_old"}));
}

// A removal cut short (here by a copy that cannot be removed for a while) leaves the folder
// marked as the program's own, so that a later run finishes it instead of refusing it for good.
TEST(KeptGeneration, ARemovalCutShortKeepsTheMarkSoThatALaterRunFinishesIt) {
    SmallDiskDesk d(4);
    if (!d.why.empty()) GTEST_SKIP() << d.why;
    const std::string& disk = d.disk;
    WriteFile(d.T + "/001.part.met", PartMet("1"));
    WriteFile(d.T + "/002.part.met", PartMet("2"));
    for (int run = 0; run < 3; ++run) d.f().BackupPartFiles(false);
    d.f().FinishBackgroundWork();
    const std::string kept = disk + "/.B.hws-discard", mark = kept + "/.hws-generation";
    // The entry listed last stays; a mark made anew is listed first on a tmpfs.
    fs::remove(mark);
    WriteFile(mark, "");
    std::string last;
    files::ForEachEntry(kept, [&](const std::string& name, unsigned char) {
        last = kept + "/" + name;
        return true;
    });
    if (last == mark || std::system(("chattr +i '" + last + "' 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "no file listed after the mark can be made immutable";
    }
    WriteFile(disk + "/ballast", std::string(3900 * 1024, 'b'));  // nearly full: removed
    d.f().BackupPartFiles(false);
    d.f().FinishBackgroundWork();
    ASSERT_EQ(std::system(("chattr -i '" + last + "'").c_str()), 0);
    EXPECT_TRUE(FileExists(mark));
    d.f().BackupPartFiles(false);
    d.f().FinishBackgroundWork();
    EXPECT_EQ(d.messages().back(), kOk);
    EXPECT_FALSE(FolderExists(kept));
}

// A copy changed with its time set back is read again; only a disk with real change times keeps
// the record that tells it.
TEST(KeptGeneration, ACopyChangedWithItsTimeSetBackIsWrittenAnew) {
    for (const bool exfat : {false, true}) {
        SCOPED_TRACE(exfat ? "exFAT" : "local disk");
        BackupDesk d;
        fs::create_directories(d.root / "usb");
        ScratchMounts mounts;
        const std::string why =
            exfat ? mounts.MountExfat(d.root / "exfat.img", d.root / "usb") : "";
        if (!why.empty()) GTEST_SKIP() << "no exFAT disk to test on: " << why;
        if (exfat) d.f().edit_backupdir.setText(d.B = d.root / "usb/B");
        WriteFile(d.T + "/001.part.met", PartMet("unchanged download"));
        for (int run = 0; run < 3; ++run) d.f().BackupPartFiles(false);
        d.f().FinishBackgroundWork();
        const fs::path backup = d.B;
        const std::string kept =
            backup.parent_path() / ("." + backup.filename().string() + ".hws-discard");
        const std::string copy = kept + "/001.part.met.HWS";
        EXPECT_EQ(FileExists(kept + "/.hws-record"), !exfat);
        struct stat before {};
        ASSERT_EQ(::stat(copy.c_str(), &before), 0);
        WriteFile(copy, PartMet("tampered download!"));  // as long, in the same file
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, copy.c_str(), times, 0), 0);
        d.f().BackupPartFiles(false);
        EXPECT_EQ(ReadFile(d.B + "/001.part.met.HWS"), PartMet("unchanged download"));
    }
}

}  // namespace
}  // namespace hw::test
