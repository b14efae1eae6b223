#include "backup/folder_safety.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "backup/backup_fixture.h"
#include "backup/generations.h"
#include "support/scratch_mounts.h"

namespace hw::test {
namespace {

namespace fs = std::filesystem;

const char* const kOk = "Backing up *.PART.METs successful !";

// A backup desk whose three folders are chosen by the test; returns the messages shown.
Strings BackUpWith(BackupDesk& d, const std::string& temp, const std::string& backup,
                   const std::string& client) {
    d.f().edit_tempdir.setText(temp);
    d.f().edit_backupdir.setText(backup);
    d.f().edit_clientdir.setText(client);
    d.f().BackupPartFiles(false);
    d.f().FinishBackgroundWork();
    return d.messages();
}

TEST(FolderSafety, ABindMountOfTheClientFolderIsTheClientFolder) {
    BackupDesk d;
    const std::string view = d.root / "view";
    fs::create_directories(view);
    WriteFile(d.C + "/temp/001.part.met", PartMet("download state"));
    ScratchMounts mounts;
    const std::string why = mounts.Bind(d.C, view);
    if (!why.empty()) GTEST_SKIP() << why;

    EXPECT_TRUE(IsSameOrAbove(view, d.C + "/temp"));
    EXPECT_TRUE(IsSameOrAbove(d.C, view + "/temp"));
    EXPECT_TRUE(IsSameOrAbove(view + "/temp", d.C + "/temp/"));
    EXPECT_TRUE(IsSameOrAbove(view + "/new", d.C + "/new/sub"));  // missing rest by name
    EXPECT_FALSE(IsSameOrAbove(view + "/temp", d.C));
    EXPECT_FALSE(IsSameOrAbove(view + "/new", d.C + "/temp"));

    // Twice, as the second run would delete what the first set aside.
    for (int run = 0; run < 2; ++run) BackUpWith(d, d.C + "/temp", view, d.C);
    EXPECT_EQ(d.messages(), Strings(2, d.f().msg_backupdir_overlaps));
    EXPECT_EQ(ReadFile(d.C + "/temp/001.part.met"), PartMet("download state"));
    EXPECT_EQ(Names(d.root.path()), (Strings{"client", "temp", "view"}));
}

// A hidden generation that holds a view of the temp folder, whose subfolder the temp folder is a
// view of, or that is itself a view of a user's folder, is someone's data: it is neither reused
// nor emptied nor removed.
TEST(FolderSafety, AHiddenGenerationThatIsOrHoldsAMountIsLeftAlone) {
    enum Where { IntoIt, FromIt, AtIt };
    for (Where where : {IntoIt, FromIt, AtIt}) {
        SCOPED_TRACE(where);
        BackupDesk d;
        const std::string kept = d.root / ".backup.hws-discard";
        const std::string view = kept + "/view";
        const std::string mine = d.root / "mine";
        for (const std::string& generation : {kept, mine}) {
            WriteFile(generation + "/.hws-generation", "");  // as the program's own
            WriteFile(generation + "/001.part.met.HWS", PartMet("kept"));
        }
        fs::create_directories(view);
        WriteFile((where == FromIt ? view : d.T) + "/001.part.met", PartMet("download state"));
        ScratchMounts mounts;
        const std::string why = where == IntoIt   ? mounts.Bind(d.T, view)
                                : where == FromIt ? mounts.Bind(view, d.T)
                                                  : mounts.Bind(mine, kept);
        if (!why.empty()) GTEST_SKIP() << why;
        for (int run = 0; run < 2; ++run) BackUpWith(d, d.T, d.B, d.C);
        EXPECT_EQ(d.messages(), Strings(2, d.f().msg_backupdir_foreign + kept));
        EXPECT_EQ(ReadFile(d.T + "/001.part.met"), PartMet("download state"));
        EXPECT_EQ(ReadFile(mine + "/001.part.met.HWS"), PartMet("kept"));
    }
}

TEST(FolderSafety, ANameInOtherLetterCaseOnACaseInsensitiveDiskIsTheSameFolder) {
    BackupDesk d;
    const std::string usb = d.root / "usb";
    fs::create_directories(usb);
    ScratchMounts mounts;
    const std::string why = mounts.MountExfat(d.root / "exfat.img", usb);
    if (!why.empty()) GTEST_SKIP() << "no exFAT disk to test on: " << why;
    WriteFile(usb + "/Emule/Temp/001.part.met", PartMet("download state"));
    WriteFile(usb + "/Emule/emule.exe", "client");
    ASSERT_TRUE(FileExists(usb + "/EMULE/temp/001.part.met")) << "not case-insensitive";

    EXPECT_TRUE(IsSameOrAbove(usb + "/EMULE", usb + "/Emule/Temp"));
    EXPECT_TRUE(IsSameOrAbove(usb + "/emule/TEMP", usb + "/Emule/Temp"));
    EXPECT_TRUE(IsSameOrAbove(usb + "/Emule", usb + "/EMULE/temp"));
    EXPECT_FALSE(IsSameOrAbove(usb + "/Emule2", usb + "/Emule/Temp"));
    EXPECT_FALSE(IsSameOrAbove(usb + "/EMULE/temp", usb + "/Emule"));

    for (const std::string& backup : {usb + "/EMULE", usb + "/emule/TEMP", usb + "/EMULE/temp"}) {
        SCOPED_TRACE(backup);
        BackupDesk run;
        for (int i = 0; i < 2; ++i) BackUpWith(run, usb + "/Emule/Temp", backup, usb + "/Emule");
        EXPECT_EQ(run.messages(), Strings(2, run.f().msg_backupdir_overlaps));
        EXPECT_EQ(ReadFile(usb + "/Emule/Temp/001.part.met"), PartMet("download state"));
    }
    EXPECT_EQ(Names(usb), Strings{"Emule"});

    // A folder of its own on that disk works, although exFAT cannot swap two folders in one step.
    for (int i = 1; i <= 3; ++i) {
        WriteFile(usb + "/Emule/Temp/001.part.met", PartMet("state " + std::to_string(i)));
        BackUpWith(d, usb + "/Emule/Temp", usb + "/Backup", usb + "/Emule");
    }
    EXPECT_EQ(d.messages(), Strings(3, kOk));
    EXPECT_EQ(ReadFile(usb + "/Backup/001.part.met.HWS"), PartMet("state 3"));
    EXPECT_EQ(ReadFile(usb + "/Backup_old/001.part.met.HWS"), PartMet("state 2"));
    EXPECT_EQ(Names(usb), (Strings{".Backup.hws-discard", "Backup", "Backup_old", "Emule"}));
}

TEST(FolderSafety, AMountPointIsRefusedBeforeAnythingIsCopied) {
    EXPECT_TRUE(IsMountPoint("/"));
    BackupDesk d;
    EXPECT_FALSE(IsMountPoint(d.C));
    EXPECT_FALSE(IsMountPoint(d.root / "missing"));
    WriteFile(d.T + "/001.part.met", PartMet("1"));
    WriteFile(d.root / "disk/001.part.met.HWS", PartMet("on the disk"));
    fs::create_directories(d.B);
    ScratchMounts mounts;
    const std::string why = mounts.Bind(d.root / "disk", d.B);
    if (!why.empty()) GTEST_SKIP() << why;
    EXPECT_TRUE(IsMountPoint(d.B));

    d.f().BackupPartFiles(false);
    d.desk.processes.running = {"emule.exe"};
    d.f().BackupPartFiles(true);  // silent
    d.f().ApplyLanguage("DE");    // the fields show their placeholders again
    d.f().edit_tempdir.setText(d.T);
    d.f().edit_backupdir.setText(d.B);
    d.f().BackupPartFiles(false);
    const std::string en =
        "The following folder is the top folder of a disk (a mount point) and cannot be "
        "replaced by a new backup. Please choose a folder on that disk as Backup-Directory, for "
        "example a new folder in it ! Nothing was backed up.\n\n" +
        d.B;
    const std::string de =
        "Der folgende Ordner ist der oberste Ordner eines Datenträgers (ein Einhängepunkt) und "
        "kann nicht durch eine neue Sicherung ersetzt werden. Bitte einen Ordner auf diesem "
        "Datenträger als Backup-Ordner wählen, zum Beispiel einen neuen Ordner darin ! Es wurde "
        "nichts gesichert.\n\n" +
        d.B;
    EXPECT_EQ(d.messages(), (Strings{en, de}));
    EXPECT_EQ(d.captions(), (Strings{"Error ...", "Fehler ..."}));
    // Nothing was written beside it on the parent's disk.
    EXPECT_EQ(Names(d.root.path()), (Strings{"backup", "client", "disk", "temp"}));
    EXPECT_EQ(ReadFile(d.B + "/001.part.met.HWS"), PartMet("on the disk"));
}

TEST(FolderSafety, OnlyWhatTheBackupMakesBelongsInAGenerationFolder) {
    // Whether the folder is foreign as B or B_old, and as a hidden generation beside them, which
    // must also carry the program's own mark unless it is empty.
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
        bool foreign;
        bool foreignHidden;
    };
    const std::vector<Case> cases = {
        {"missing", [](const std::string&) {}, false, false},
        {"empty", [](const std::string& b) { fs::create_directories(b); }, false, false},
        {"backups, extras, mark",
         [](const std::string& b) {
             WriteFile(b + "/001.part.met.HWS", "");
             WriteFile(b + "/other.hws", "");
             WriteFile(b + "/.hws-newest", "");
             WriteFile(b + "/~hws_xtra/config/anything.txt", "");
         },
         false, true},
        {"copies with the program's own mark",
         [](const std::string& b) {
             WriteFile(b + "/001.part.met.HWS", "");
             WriteFile(b + "/.hws-generation", "");
         },
         false, false},
        {"copies without it", [](const std::string& b) { WriteFile(b + "/001.part.met.HWS", ""); },
         false, true},
        {"subfolders of backups",
         [](const std::string& b) {
             WriteFile(b + "/Temp1/003.part.met.HWS", "");
             fs::create_directories(b + "/Temp2");
         },
         false, true},
        {"a link named like a backup",
         [](const std::string& b) {
             fs::create_directories(b);
             WriteFile(b + ".target", "");
             fs::create_symlink(b + ".target", b + "/x.HWS");
         },
         false, true},
        {"a document", [](const std::string& b) { WriteFile(b + "/letter.odt", ""); }, true, true},
        {"a hidden file", [](const std::string& b) { WriteFile(b + "/.profile", ""); }, true, true},
        {"a subfolder with a document",
         [](const std::string& b) {
             WriteFile(b + "/Temp1/003.part.met.HWS", "");
             WriteFile(b + "/Temp1/readme", "");
         },
         true, true},
        {"a folder two levels down",
         [](const std::string& b) { WriteFile(b + "/Temp1/deeper/003.part.met.HWS", ""); }, true,
         true},
        {"a folder named like a backup",
         [](const std::string& b) { WriteFile(b + "/photos.HWS/1.jpg", ""); }, true, true},
        {"a file instead of a folder", [](const std::string& b) { WriteFile(b, "text"); }, true,
         true},
        {"a link to a marked folder (B may be one, a hidden generation not)",
         [](const std::string& b) {
             WriteFile(b + ".target/.hws-generation", "");
             fs::create_symlink(b + ".target", b);
         },
         false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        c.make(dir / "B");
        EXPECT_EQ(HoldsForeignEntries(dir / "B", ".hws-newest"), c.foreign);
        FolderListing listing;
        EXPECT_EQ(IsForeignHiddenFolder(dir / "B", &listing), c.foreignHidden);
        // A folder found the program's own keeps its listing for the run's later steps.
        std::size_t entries = 0;
        if (fs::is_directory(dir / "B") && !c.foreignHidden) {
            entries = std::distance(fs::directory_iterator(dir / "B"), fs::directory_iterator());
        }
        EXPECT_EQ(listing.taken, entries > 0);
        EXPECT_EQ(listing.types.size(), entries);
        // Left by an earlier version under the name without the dot, a hidden generation of the
        // program's own is renamed, or removed where the new name is taken; anything else stays.
        for (const bool taken : {false, true}) {
            TempDir beside;
            const GenerationFolders g(beside / "B");
            ASSERT_EQ(g.discard, beside / ".B.hws-discard");
            c.make(g.formerDiscard);
            const bool there = fs::exists(fs::symlink_status(g.formerDiscard));
            if (taken) WriteFile(g.discard + "/.hws-generation", "");
            TabfFileOperation op;
            EXPECT_TRUE(TakeOverFormerNames(op, g));
            EXPECT_EQ(fs::exists(fs::symlink_status(g.formerDiscard)), there && c.foreignHidden);
            if (!taken) {
                EXPECT_EQ(fs::exists(g.discard), there && !c.foreignHidden);
            }
        }
    }
    {  // a complete generation is never thrown away unseen
        TempDir beside;
        const GenerationFolders g(beside / "B");
        for (const std::string& complete : {g.complete, g.formerComplete}) {
            WriteFile(complete + "/.hws-generation", "");
            WriteFile(complete + "/001.part.met.HWS", complete);
        }
        TabfFileOperation op;
        const StepResult taken = TakeOverFormerNames(op, g);
        EXPECT_FALSE(taken);
        EXPECT_EQ(taken.path, g.formerComplete);
        EXPECT_EQ(ReadFile(g.formerComplete + "/001.part.met.HWS"), g.formerComplete);
    }
}

TEST(FolderSafety, AListingHoldsOnlyForTheSameUnchangedFolder) {
    struct Case {
        const char* what;
        std::function<void(const std::string& later)> change;
        bool holds;
    };
    const std::vector<Case> cases = {
        {"renamed", [](const std::string&) {}, true},
        {"a copy rewritten",
         [](const std::string& later) { WriteFile(later + "/001.part.met.HWS", "new bytes"); },
         true},
        {"an entry added", [](const std::string& later) { WriteFile(later + "/letter.odt", ""); },
         false},
        {"an entry removed",
         [](const std::string& later) { fs::remove(later + "/001.part.met.HWS"); }, false},
        {"another folder in its place",
         [](const std::string& later) {
             fs::rename(later, later + ".aside");
             WriteFile(later + "/.hws-generation", "");
             WriteFile(later + "/001.part.met.HWS", "");
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string listed = dir / ".B.hws-discard";
        const std::string later = dir / ".B.hws-staging";
        WriteFile(listed + "/.hws-generation", "");
        WriteFile(listed + "/001.part.met.HWS", "");
        // Made by an earlier run: a change now gets a later time even where times are coarse.
        fs::last_write_time(listed, fs::last_write_time(listed) - std::chrono::hours(1));
        FolderListing listing;
        ASSERT_FALSE(IsForeignHiddenFolder(listed, &listing));
        fs::rename(listed, later);
        c.change(later);
        EXPECT_EQ(StillAsListed(later, listing), c.holds);
    }
}

}  // namespace
}  // namespace hw::test
