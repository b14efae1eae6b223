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

// The copies in subfolders are looked up by their place below the generation, their sources
// below the temp folder.
TEST(CopyRecords, InSubfolderModeARunKeepsOnlyAnUnchangedCopyUnread) {
    for (const bool rewritten : {false, true}) {
        SCOPED_TRACE(rewritten ? "rewritten, its time put back" : "unchanged");
        BackupDesk d;
        d.subfolderMode();
        const std::string source = d.T + "/Temp1/001.part.met";
        WriteFile(source, PartMet("first"));
        // A record is trusted only for a source written before the clock tick of its reading.
        ::usleep(20000);
        for (int run = 0; run < 3; ++run) d.f().BackupPartFiles(false);
        d.f().FinishBackgroundWork();
        if (rewritten) {
            struct stat before {};
            ASSERT_EQ(::stat(source.c_str(), &before), 0);
            WriteFile(source, PartMet("again"));  // as long
            const struct timespec times[2] = {before.st_atim, before.st_mtim};
            ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
        }
        std::atomic<int> reads{0};
        d.f().abfFileOperation1.afterRead = [&reads] { ++reads; };
        d.f().BackupPartFiles(false);
        EXPECT_EQ(reads > 0, rewritten);
        EXPECT_EQ(ReadFile(d.B + "/Temp1/001.part.met.HWS"),
                  PartMet(rewritten ? "again" : "first"));
    }
}

}  // namespace
}  // namespace hw::test
