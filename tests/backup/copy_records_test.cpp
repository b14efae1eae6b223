// The records of a generation's copies: a file is taken whole or not at all, and a run keeps a
// recorded copy unread only while both it and its source are as recorded.
#include "backup/copy_records.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>

#include "backup/backup_fixture.h"
#include "support/odd_files.h"

namespace hw::test {
namespace {

namespace fs = std::filesystem;

files::CopyRecord Trusted(ino_t inode) {
    files::CopyRecord record;
    record.sourceInode = inode;
    record.size = static_cast<off_t>(inode * 3);
    record.copyChanged = {static_cast<time_t>(inode), 7};
    record.trusted = true;
    return record;
}

TEST(CopyRecords, AFileIsTakenWholeOrNotAtAll) {
    struct Case {
        const char* what;
        std::function<void(CopyRecords&)> fill;
        std::function<void(const std::string& file)> after;
        bool taken;
    };
    // Thousands of names, so that the lookup meets names of the same hash slot.
    const auto many = [](CopyRecords& records) {
        for (ino_t k = 1; k <= 3000; ++k) {
            records.Add("Temp" + std::to_string(k % 7) + "/" + std::to_string(k) + ".part.met.HWS",
                        Trusted(k));
        }
    };
    const Case cases[] = {
        {"as saved", many, nullptr, true},
        {"a name twice",
         [&](CopyRecords& records) {
             many(records);
             records.Add("Temp1/1.part.met.HWS", Trusted(9));
         },
         nullptr, false},
        {"cut short by a byte", many,
         [](const std::string& file) { fs::resize_file(file, fs::file_size(file) - 1); }, false},
        {"a pipe in its place", many,
         [](const std::string& file) {
             fs::remove(file);
             ASSERT_TRUE(MakeSpecial("pipe", file));
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        CopyRecords records;
        c.fill(records);
        records.Add("untrusted.part.met.HWS", files::CopyRecord{});
        ASSERT_TRUE(SaveCopyRecords(dir.path(), records));
        if (c.after) c.after(dir / ".hws-record");
        const CopyRecords loaded = LoadCopyRecords(dir.path());
        ASSERT_EQ(loaded.size(), c.taken ? 3000u : 0u);
        if (!c.taken) continue;
        for (ino_t k = 1; k <= 3000; ++k) {
            const files::CopyRecord* found = loaded.Find("Temp" + std::to_string(k % 7) + "/" +
                                                         std::to_string(k) + ".part.met.HWS");
            ASSERT_NE(found, nullptr) << k;
            EXPECT_EQ(found->sourceInode, k);
            EXPECT_EQ(found->size, static_cast<off_t>(k * 3));
            EXPECT_EQ(found->copyChanged.tv_sec, static_cast<time_t>(k));
            EXPECT_EQ(found->copyChanged.tv_nsec, 7);
            EXPECT_TRUE(found->trusted);
        }
        EXPECT_EQ(loaded.Find("untrusted.part.met.HWS"), nullptr);
        EXPECT_EQ(loaded.Find("Temp1/1.part.met"), nullptr);
    }
}

// A run whose copies were all kept as recorded leaves the record file as it is: only a record
// that differs in any field, one more or one fewer makes it write the file anew.
TEST(CopyRecords, TheSameTrustedRecordsInAnyOrderNeedNoNewFile) {
    TempDir dir;
    CopyRecords saved;
    for (ino_t k = 1; k <= 3; ++k) saved.Add(std::to_string(k) + ".part.met.HWS", Trusted(k));
    ASSERT_TRUE(SaveCopyRecords(dir.path(), saved));
    const CopyRecords loaded = LoadCopyRecords(dir.path());
    using Change = std::function<void(files::CopyRecord&)>;
    // clang-format off
    const struct { const char* what; Change change; bool withFourth, withoutThird, same; } cases[] = {
        {"in another order", nullptr, false, false, true},
        {"an untrusted one more", nullptr, true, false, true},
        {"a trusted one more", [](files::CopyRecord& r) { r.trusted = true; }, true, false, false},
        {"one fewer", nullptr, false, true, false},
        {"the copy's change time", [](files::CopyRecord& r) { r.copyChanged.tv_nsec++; }, false, false, false},
        {"the copy's inode", [](files::CopyRecord& r) { r.copyInode++; }, false, false, false},
        {"the source's change time", [](files::CopyRecord& r) { r.sourceChanged.tv_sec++; }, false, false, false},
        {"the source's modification", [](files::CopyRecord& r) { r.sourceModified.tv_nsec++; }, false, false, false},
        {"the size", [](files::CopyRecord& r) { r.size++; }, false, false, false},
        {"no longer trusted", [](files::CopyRecord& r) { r.trusted = false; }, false, false, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CopyRecords records;
        for (ino_t k = 3; k >= 1; --k) {
            if (k == 3 && c.withoutThird) continue;
            files::CopyRecord r = Trusted(k);
            if (c.change && !c.withFourth && k == 2) c.change(r);
            records.Add(std::to_string(k) + ".part.met.HWS", r);
        }
        if (c.withFourth) {
            files::CopyRecord r;
            if (c.change) c.change(r);
            records.Add("4.part.met.HWS", r);
        }
        EXPECT_EQ(SameTrustedRecords(records, loaded), c.same);
    }
    EXPECT_TRUE(SameTrustedRecords(CopyRecords{}, CopyRecords{}));
}

// The copies in subfolders are looked up by their place below the generation, their sources
// below the temp folder. Either one changed, its time put back, is read again.
TEST(CopyRecords, InSubfolderModeARunKeepsOnlyAnUnchangedCopyUnread) {
    enum Changed { kNothing, kSource, kKeptCopy };
    for (const Changed changed : {kNothing, kSource, kKeptCopy}) {
        SCOPED_TRACE(changed);
        const bool rewritten = changed != kNothing;
        BackupDesk d;
        d.subfolderMode();
        const std::string source = d.T + "/Temp1/001.part.met";
        WriteFile(source, PartMet("first"));
        // A record is trusted only for a source written before the clock tick of its reading.
        ::usleep(20000);
        for (int run = 0; run < 3; ++run) d.f().BackupPartFiles(false);
        d.f().FinishBackgroundWork();
        const std::string keptCopy = d.root / ".backup.hws-discard/Temp1/001.part.met.HWS";
        if (rewritten) {
            const std::string& file = changed == kSource ? source : keptCopy;
            struct stat before {};
            ASSERT_EQ(::stat(file.c_str(), &before), 0);
            WriteFile(file, PartMet("again"));  // as long
            const struct timespec times[2] = {before.st_atim, before.st_mtim};
            ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
        }
        struct stat record {};
        ASSERT_EQ(::stat((d.root / ".backup.hws-discard/.hws-record").c_str(), &record), 0);
        ::usleep(20000);  // past the coarse clock tick, so that a rewrite shows in the times
        std::atomic<int> reads{0};
        d.f().abfFileOperation1.afterRead = [&reads] { ++reads; };
        d.f().BackupPartFiles(false);
        EXPECT_EQ(reads > 0, rewritten);
        struct stat after {};
        ASSERT_EQ(::stat((d.B + "/.hws-record").c_str(), &after), 0);
        EXPECT_EQ(after.st_ino == record.st_ino && after.st_ctim.tv_sec == record.st_ctim.tv_sec &&
                      after.st_ctim.tv_nsec == record.st_ctim.tv_nsec,
                  !rewritten);
        EXPECT_EQ(ReadFile(d.B + "/Temp1/001.part.met.HWS"),
                  PartMet(changed == kSource ? "again" : "first"));
    }
}

}  // namespace
}  // namespace hw::test
