#include "shell/file_operation.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "support/fake_services.h"

namespace hw {
namespace {

using test::FileExists;
using test::FolderExists;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Every name in a folder, to see that no temporary file is left behind.
std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Writes half of the source and then fails as a full disk would.
bool HalfThenDiskFull(int from, int to) {
    char buffer[4096];
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got > 0 && ::write(to, buffer, got / 2) < 0) return false;
    errno = ENOSPC;
    return false;
}

TEST(FileOperation, EmptyListSucceedsAndTouchesNothing) {
    TempDir dir;
    TabfFileOperation op;
    op.DestFolder = dir / "never";
    EXPECT_TRUE(op.Copy());
    EXPECT_TRUE(op.Move());
    EXPECT_TRUE(op.Delete());
    op.SetFileList({"", ""});
    EXPECT_TRUE(op.Copy());
    EXPECT_FALSE(FolderExists(dir / "never"));
}

TEST(FileOperation, CopyWritesToTheExactPathOrIntoAnExistingFolder) {
    TempDir dir;
    const std::string binary(
        "a\0b\r\n\xff"
        "end",
        9);
    WriteFile(dir / "t/x.part.met", binary);
    TabfFileOperation op;
    op.SetFileList({dir / "t/x.part.met"});

    {  // missing folders on the way are created; the last element is the file name
        op.DestFolder = dir / "B/deeper/x.part.met.HWS";
        EXPECT_TRUE(op.Copy());
        EXPECT_EQ(ReadFile(dir / "B/deeper/x.part.met.HWS"), binary);
        EXPECT_EQ(Names(dir / "B/deeper"), std::vector<std::string>{"x.part.met.HWS"});
    }
    {  // an existing file is replaced
        WriteFile(dir / "B/old.HWS", "a much longer old content that must not remain");
        op.DestFolder = dir / "B/old.HWS";
        EXPECT_TRUE(op.Copy());
        EXPECT_EQ(ReadFile(dir / "B/old.HWS"), binary);
    }
    {  // an existing folder takes the file under its own name
        std::filesystem::create_directories(dir / "into");
        op.DestFolder = dir / "into";
        EXPECT_TRUE(op.Copy());
        EXPECT_EQ(ReadFile(dir / "into/x.part.met"), binary);
    }
    {  // a missing source fails; "=" is part of a name, not a pair
        op.SetFileList({dir / "t/missing.part.met"});
        op.DestFolder = dir / "B/m";
        EXPECT_FALSE(op.Copy());
        EXPECT_FALSE(FileExists(dir / "B/m"));
        WriteFile(dir / "t/a=b.met", "pair?");
        op.SetFileList({dir / "t/a=b.met"});
        op.DestFolder = dir / "B/c=d.met";
        EXPECT_TRUE(op.Copy());
        EXPECT_EQ(ReadFile(dir / "B/c=d.met"), "pair?");
    }
    {  // a target whose parent is a regular file cannot be written, even by root
        op.DestFolder = dir / "t/x.part.met/below";
        EXPECT_FALSE(op.Copy());
        EXPECT_EQ(op.LastErrorCode(), ENOTDIR);
    }
}

TEST(FileOperation, CopyKeepsTheModificationTimeAndPermissions) {
    TempDir dir;
    WriteFile(dir / "src.met", "x");
    struct timespec times[2] = {{1000000000, 0}, {1200000000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "src.met").c_str(), times, 0), 0);
    ::chmod((dir / "src.met").c_str(), 0640);
    for (bool inPlace : {false, true}) {
        TabfFileOperation op;
        op.writeInPlace = inPlace;
        op.SetFileList({dir / "src.met"});
        op.DestFolder = dir / (inPlace ? "in.met" : "safe.met");
        ASSERT_TRUE(op.Copy());
        struct stat info {};
        ASSERT_EQ(::stat(op.DestFolder.c_str(), &info), 0);
        EXPECT_EQ(info.st_mtim.tv_sec, 1200000000);
        EXPECT_EQ(info.st_mtim.tv_nsec, 123456789);
        EXPECT_EQ(info.st_mode & 0777, 0640u);
    }
}

TEST(FileOperation, CopyFailingMidwayLeavesTheOldTargetWholeAndNoTemporaryFile) {
    TempDir dir;
    WriteFile(dir / "src/new.met", std::string(3000, 'N'));
    WriteFile(dir / "dst/new.met", "old and good");
    TabfFileOperation op;
    op.byteCopy = HalfThenDiskFull;
    op.SetFileList({dir / "src/new.met"});

    op.DestFolder = dir / "dst/new.met";
    EXPECT_FALSE(op.Copy());
    EXPECT_EQ(op.LastErrorCode(), ENOSPC);
    EXPECT_EQ(ReadFile(dir / "dst/new.met"), "old and good");
    EXPECT_EQ(Names(dir / "dst"), std::vector<std::string>{"new.met"});

    op.DestFolder = dir / "dst/fresh.met";  // nothing appears under a new name either
    EXPECT_FALSE(op.Copy());
    EXPECT_EQ(Names(dir / "dst"), std::vector<std::string>{"new.met"});

    op.writeInPlace = true;  // in a staging folder the partial file is removed as well
    op.DestFolder = dir / "stage/new.met";
    EXPECT_FALSE(op.Copy());
    EXPECT_TRUE(Names(dir / "stage").empty());
}

TEST(FileOperation, MoveAndDeleteWholeFolders) {
    TempDir dir;
    WriteFile(dir / "B/1.HWS", "one");
    WriteFile(dir / "B/S/2.HWS", "two");
    TabfFileOperation op;

    op.SetFileList({dir / "B"});
    op.DestFolder = dir / "B_old";
    EXPECT_TRUE(op.Move());
    EXPECT_FALSE(FolderExists(dir / "B"));
    EXPECT_EQ(ReadFile(dir / "B_old/1.HWS"), "one");
    EXPECT_EQ(ReadFile(dir / "B_old/S/2.HWS"), "two");

    {  // into an existing folder under its own name
        WriteFile(dir / "C/c.HWS", "c");
        op.SetFileList({dir / "C"});
        op.DestFolder = dir / "B_old";
        EXPECT_TRUE(op.Move());
        EXPECT_EQ(ReadFile(dir / "B_old/C/c.HWS"), "c");
    }
    {  // a missing source fails and creates nothing
        op.SetFileList({dir / "none"});
        op.DestFolder = dir / "somewhere";
        EXPECT_FALSE(op.Move());
        EXPECT_FALSE(FolderExists(dir / "somewhere"));
    }

    op.SetFileList({dir / "B_old"});
    EXPECT_TRUE(op.Delete());
    EXPECT_FALSE(std::filesystem::exists(dir / "B_old"));
    EXPECT_FALSE(op.Delete());  // nothing left to delete
}

TEST(FileOperation, CopiesAFolderWithItsContents) {
    TempDir dir;
    WriteFile(dir / "src/a.met", "a");
    WriteFile(dir / "src/sub/b.dat", "b");
    TabfFileOperation op;
    op.SetFileList({dir / "src"});
    op.DestFolder = dir / "copy";
    EXPECT_TRUE(op.Copy());
    EXPECT_EQ(ReadFile(dir / "copy/a.met"), "a");
    EXPECT_EQ(ReadFile(dir / "copy/sub/b.dat"), "b");
}

TEST(FileOperation, FlushSucceedsForBothMethodsAndFailsForAMissingFolder) {
    TempDir dir;
    WriteFile(dir / "stage/S/1.HWS", "1");
    for (auto method :
         {TabfFileOperation::FlushMethod::FileSystem, TabfFileOperation::FlushMethod::EachFile}) {
        TabfFileOperation op;
        op.flushMethod = method;
        op.SetFileList({dir / "stage"});
        EXPECT_TRUE(op.Flush());
        op.SetFileList({dir / "gone"});
        EXPECT_FALSE(op.Flush());
    }
}

}  // namespace
}  // namespace hw
