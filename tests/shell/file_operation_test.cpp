#include "shell/file_operation.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <new>
#include <vector>

#include "shell/file_copy.h"
#include "shell/parallel.h"
#include "support/child_with_alarm.h"
#include "support/fake_services.h"
#include "support/odd_files.h"
#include "support/scratch_mounts.h"

namespace hw {
namespace {

using test::FileExists;
using test::FolderExists;
using test::InChildWithAlarm;
using test::MakeSpecial;
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
bool HalfThenDiskFull(int to, const char* data, std::size_t size) {
    if (::write(to, data, size / 2) < 0) return false;
    errno = ENOSPC;
    return false;
}

TEST(FileOperation, EmptyListSucceedsAndTouchesNothing) {
    TempDir dir;
    TabfFileOperation op;
    op.DestFolder = dir / "never";
    EXPECT_TRUE(op.Copy().Ok());
    EXPECT_TRUE(op.Move());
    EXPECT_TRUE(op.Delete());
    op.SetFileList({"", ""});
    EXPECT_TRUE(op.Copy().Ok());
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
        EXPECT_TRUE(op.Copy().Ok());
        EXPECT_EQ(ReadFile(dir / "B/deeper/x.part.met.HWS"), binary);
        EXPECT_EQ(Names(dir / "B/deeper"), std::vector<std::string>{"x.part.met.HWS"});
    }
    {  // an existing file is replaced
        WriteFile(dir / "B/old.HWS", "a much longer old content that must not remain");
        op.DestFolder = dir / "B/old.HWS";
        EXPECT_TRUE(op.Copy().Ok());
        EXPECT_EQ(ReadFile(dir / "B/old.HWS"), binary);
    }
    {  // an existing folder takes the file under its own name
        std::filesystem::create_directories(dir / "into");
        op.DestFolder = dir / "into";
        EXPECT_TRUE(op.Copy().Ok());
        EXPECT_EQ(ReadFile(dir / "into/x.part.met"), binary);
    }
    {  // a missing source fails; "=" is part of a name, not a pair
        op.SetFileList({dir / "t/missing.part.met"});
        op.DestFolder = dir / "B/m";
        EXPECT_FALSE(op.Copy().Ok());
        EXPECT_FALSE(FileExists(dir / "B/m"));
        WriteFile(dir / "t/a=b.met", "pair?");
        op.SetFileList({dir / "t/a=b.met"});
        op.DestFolder = dir / "B/c=d.met";
        EXPECT_TRUE(op.Copy().Ok());
        EXPECT_EQ(ReadFile(dir / "B/c=d.met"), "pair?");
    }
    {  // a target whose parent is a regular file cannot be written, even by root
        op.DestFolder = dir / "t/x.part.met/below";
        EXPECT_EQ(op.Copy().error, ENOTDIR);
    }
}

// Also where a copy is created with its permissions at once, and the umask takes some away.
TEST(FileOperation, CopyKeepsTheModificationTimeAndPermissions) {
    enum Way { kSafe, kInPlace, kJudgedStaged, kJudgedNewName };
    for (const mode_t permissions : {mode_t{0640}, mode_t{0666}}) {
        for (Way way : {kSafe, kInPlace, kJudgedStaged, kJudgedNewName}) {
            SCOPED_TRACE(std::to_string(permissions) + " " + std::to_string(way));
            TempDir dir;
            WriteFile(dir / "src.met", "x");
            struct timespec times[2] = {{1000000000, 0}, {1200000000, 123456789}};
            ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "src.met").c_str(), times, 0), 0);
            ::chmod((dir / "src.met").c_str(), permissions);
            TabfFileOperation op;
            TabfFileOperation::CopyMode mode;
            std::vector<files::StagedCopy> staged;
            mode.inPlace = way == kInPlace || way == kJudgedNewName;
            mode.newNames = way == kJudgedNewName;
            if (way == kJudgedStaged) mode.staged = &staged;
            if (way >= kJudgedStaged) mode.accept = [](const std::string&) { return true; };
            op.SetFileList({dir / "src.met"});
            op.DestFolder = dir / "copy.met";
            ASSERT_TRUE(op.Copy(mode).Ok());
            ASSERT_TRUE(op.PutInPlace(staged));
            struct stat info {};
            ASSERT_EQ(::stat(op.DestFolder.c_str(), &info), 0);
            EXPECT_EQ(info.st_mtim.tv_sec, 1200000000);
            EXPECT_EQ(info.st_mtim.tv_nsec, 123456789);
            EXPECT_EQ(info.st_mode & 0777, permissions);
        }
    }
}

TEST(FileOperation, CopyFailingMidwayLeavesTheOldTargetWholeAndNoTemporaryFile) {
    TempDir dir;
    WriteFile(dir / "src/new.met", std::string(3000, 'N'));
    WriteFile(dir / "dst/new.met", "old and good");
    TabfFileOperation op;
    op.byteWrite = HalfThenDiskFull;
    op.SetFileList({dir / "src/new.met"});

    op.DestFolder = dir / "dst/new.met";
    EXPECT_EQ(op.Copy().error, ENOSPC);
    EXPECT_EQ(ReadFile(dir / "dst/new.met"), "old and good");
    EXPECT_EQ(Names(dir / "dst"), std::vector<std::string>{"new.met"});

    op.DestFolder = dir / "dst/fresh.met";  // nothing appears under a new name either
    EXPECT_FALSE(op.Copy().Ok());
    EXPECT_EQ(Names(dir / "dst"), std::vector<std::string>{"new.met"});

    TabfFileOperation::CopyMode inPlace;  // in a staging folder the partial file goes as well
    inPlace.inPlace = true;
    op.DestFolder = dir / "stage/new.met";
    EXPECT_FALSE(op.Copy(inPlace).Ok());
    EXPECT_TRUE(Names(dir / "stage").empty());
}

TEST(FileOperation, AFailedCopyTellsWhetherItsSourceOrTheWritingFailed) {
    struct Case {
        const char* what;
        std::function<void(const std::string& dir, TabfFileOperation& op,
                           TabfFileOperation::CopyMode& mode)>
            prepare;
        files::CopyStatus status;
        int error;
        const char* named;  // by FailedPath, below the test's folder
    };
    using files::CopyStatus;
    using Mode = TabfFileOperation::CopyMode;
    const auto refuse = [](const std::string& bytes) { return bytes != "old"; };
    const std::vector<Case> cases = {
        {"missing source", [](const std::string&, TabfFileOperation&, Mode&) {},
         CopyStatus::SourceFailed, ENOENT, ""},
        {"removed right before it is opened",
         [](const std::string& dir, TabfFileOperation& op, Mode&) {
             WriteFile(dir + "/src", "x");
             op.beforeCopy = [](const std::string& source) { ::unlink(source.c_str()); };
         },
         CopyStatus::SourceFailed, ENOENT, ""},
        {"a pipe",
         [](const std::string& dir, TabfFileOperation&, Mode&) {
             ::mkfifo((dir + "/src").c_str(), 0644);
         },
         CopyStatus::SourceFailed, EINVAL, ""},
        {"a folder while copies are judged",
         [&](const std::string& dir, TabfFileOperation&, Mode& mode) {
             WriteFile(dir + "/src/inner", "x");
             mode.accept = refuse;
         },
         CopyStatus::SourceFailed, EISDIR, ""},
        {"refused by the judge",
         [&](const std::string& dir, TabfFileOperation&, Mode& mode) {
             WriteFile(dir + "/src", "old");
             mode.accept = refuse;
         },
         CopyStatus::SourceRefused, 0, ""},
        {"the target's folder is a file",
         [](const std::string& dir, TabfFileOperation& op, Mode&) {
             WriteFile(dir + "/src", "x");
             WriteFile(dir + "/dst", "old");
             op.DestFolder = dir + "/dst/inside";
         },
         CopyStatus::TargetFailed, ENOTDIR, "/dst/inside"},
        {"the disk is full",
         [](const std::string& dir, TabfFileOperation& op, Mode&) {
             WriteFile(dir + "/src", std::string(5000, 'x'));
             op.byteWrite = HalfThenDiskFull;
         },
         CopyStatus::TargetFailed, ENOSPC, "/dst"},
        {"out of memory for the judged bytes",
         [&](const std::string& dir, TabfFileOperation& op, Mode& mode) {
             WriteFile(dir + "/src", "x");
             mode.accept = refuse;
             op.afterRead = [] { throw std::bad_alloc(); };
         },
         CopyStatus::TargetFailed, ENOMEM, "/src"},
    };
    for (const Case& c : cases) {
        for (bool inPlace : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (inPlace ? ", in place" : ""));
            TempDir dir;
            // In place, copies only ever go to new names.
            if (!inPlace) WriteFile(dir / "dst", "old");
            TabfFileOperation op;
            Mode mode;
            mode.inPlace = inPlace;
            op.SetFileList({dir / "src"});
            op.DestFolder = dir / "dst";
            c.prepare(dir.path(), op, mode);
            const bool targetThere = FileExists(dir / "dst");
            const CopyStepResult copied = op.Copy(mode);
            EXPECT_EQ(copied.status, c.status);
            EXPECT_EQ(copied.error, c.error) << std::strerror(copied.error);
            EXPECT_EQ(copied.InSource(), *c.named == '\0');
            // The result names the source where the source failed.
            EXPECT_EQ(copied.path, dir.path() + (*c.named != '\0' ? c.named : "/src"));
            EXPECT_EQ(FileExists(dir / "dst"), targetThere);
            if (targetThere) {
                EXPECT_EQ(ReadFile(dir / "dst"), "old");
            }
            for (const std::string& name : Names(dir.path())) {
                EXPECT_TRUE(name == "src" || name == "dst") << name;  // no temporary file left
            }
        }
    }
}

// What is written is what was judged, even when the source changes right after being read.
TEST(FileOperation, AJudgedCopyHoldsExactlyTheBytesTheJudgeAccepted) {
    for (bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "through a temporary name");
        TempDir dir;
        WriteFile(dir / "src", std::string("part\0file", 9));
        std::string judged;
        TabfFileOperation op;
        TabfFileOperation::CopyMode mode;
        mode.inPlace = inPlace;
        mode.accept = [&](const std::string& bytes) {
            judged = bytes;
            WriteFile(dir / "src", "rewritten by its owner meanwhile");
            return true;
        };
        op.SetFileList({dir / "src"});
        op.DestFolder = dir / "dst";
        EXPECT_TRUE(op.Copy(mode).Ok());
        EXPECT_EQ(judged, std::string("part\0file", 9));
        EXPECT_EQ(ReadFile(dir / "dst"), judged);
    }
}

// A client that rewrites a file in place in two writes of the same size can be caught between
// them: the bytes read then mix two versions. A source that changed while it was read is read
// again; one that changes again is refused as damaged, and the target keeps what it held. Times
// change when a write begins, so a source changed within two seconds is read again after a wait.
// One changed long ago is read once; one over the limit is never read.
TEST(FileOperation, AJudgedCopyReadsASourceAgainThatChangedWhileItWasRead) {
    // Written anew after a read past the clock tick; through a mapping whose page is dirty
    // already, which leaves the times as they are; grown after the first read.
    enum Rewrite { kNone, kWhileRead, kUnseen, kGrown };
    // clang-format off
    struct Case { const char* what; Rewrite rewrite; int rewrites, changedAgo; std::size_t largest; off_t size; files::CopyStatus status; const char* copy; int reads, waits; };
    const auto copied = files::CopyStatus::Copied, refused = files::CopyStatus::SourceRefused;
    const Case cases[] = {
        {"rewritten while read",        kWhileRead, 1, 0, 0, 0, copied, "AAAABBBB", 3, 1},
        {"rewritten while read, twice", kWhileRead, 2, 0, 0, 0, refused, "older", 2, 0},
        {"the rest of a write unseen",  kUnseen, 1, 0, 0, 0, copied, "AAAABBBB", 4, 2},
        {"unseen, and another",         kUnseen, 2, 0, 0, 0, refused, "older", 4, 2},
        {"changed just now, not since", kNone, 0, 0, 0, 0, copied, "AAAAbbbb", 2, 1},
        {"changed a second ago",        kNone, 0, 1, 0, 0, copied, "AAAAbbbb", 2, 1},
        {"changed 10 seconds ago",      kNone, 0, 10, 0, 0, copied, "AAAAbbbb", 1, 0},
        {"changed ahead of the clock",  kNone, 0, -10, 0, 0, copied, "AAAAbbbb", 2, 1},
        {"exactly the limit",           kNone, 0, 10, 8, 0, copied, "AAAAbbbb", 1, 0},
        {"a byte over the limit",       kNone, 0, 10, 7, 0, refused, "older", 0, 0},
        {"grown over the limit",        kGrown, 1, 10, 8, 0, refused, "older", 1, 0},
        {"a sparse GiB",                kNone, 0, 10, 64 << 20, off_t{1} << 30, refused, "older", 0, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string source = dir / "src";
        WriteFile(source, "AAAAbbbb");  // the first half of a rewrite from aaaabbbb
        if (c.size != 0) {
            ASSERT_EQ(::truncate(source.c_str(), c.size), 0);
        }
        WriteFile(dir / "dst", "older");
        char* mapped = nullptr;
        if (c.rewrite == kUnseen) {
            const int fd = ::open(source.c_str(), O_RDWR | O_CLOEXEC);
            ASSERT_GE(fd, 0);
            void* at = ::mmap(nullptr, 8, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            ::close(fd);
            ASSERT_NE(at, MAP_FAILED);
            mapped = static_cast<char*>(at);
            mapped[0] = 'A';  // the write begins
        }
        int reads = 0, waits = 0;
        TabfFileOperation op;
        TabfFileOperation::CopyMode mode;
        mode.accept = [](const std::string&) { return true; };
        mode.largest = c.largest;
        op.afterRead = [&] {
            ++reads;
            if (c.rewrite == kGrown && reads == 1) WriteFile(source, std::string(100, 'G'));
            if (c.rewrite != kWhileRead || reads > c.rewrites) return;
            ::usleep(20000);  // past the coarse clock tick, so that the times show it
            WriteFile(source, reads == 1 ? "AAAABBBB" : "CCCCDDDD");
        };
        op.waitBeforeSecondRead = [&](const std::string& from) {
            EXPECT_EQ(from, source);
            if (++waits <= c.rewrites && c.rewrite == kUnseen) {
                std::memcpy(mapped, waits == 1 ? "AAAABBBB" : "CCCCDDDD", 8);
            }
        };
        op.clock = [&] {
            struct timespec now {};
            ::clock_gettime(CLOCK_REALTIME, &now);
            now.tv_sec += c.changedAgo;
            return now;
        };
        op.SetFileList({source});
        op.DestFolder = dir / "dst";
        EXPECT_EQ(op.Copy(mode).status, c.status);
        EXPECT_EQ(ReadFile(dir / "dst"), c.copy);
        EXPECT_EQ(reads, c.reads);
        EXPECT_EQ(waits, c.waits);
        if (mapped != nullptr) ::munmap(mapped, 8);
    }
}

// In place, a judged copy rewrites a file an older generation left under the name: afterwards
// it holds the source's bytes, permissions and time, and bytes it held already were not written.
TEST(FileOperation, AJudgedCopyInPlaceRewritesAnOlderFileOnlyWhereItDiffers) {
    struct Case {
        const char* what;
        const char* older;  // nullptr: no file there
        const char* now;
        int writes;
    };
    const Case cases[] = {
        {"unchanged", "abcdef", "abcdef", 0},
        {"same size, other bytes", "abcdef", "abcXef", 1},
        {"shorter now", "abcdefghij", "abc", 1},
        {"longer now", "abc", "abcdefghij", 1},
        {"empty now", "abc", "", 1},
        {"a new name", nullptr, "abc", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WriteFile(dir / "src", c.now);
        ASSERT_EQ(::chmod((dir / "src").c_str(), 0640), 0);
        const struct timespec times[2] = {{1000000000, 0}, {1200000000, 123456789}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "src").c_str(), times, 0), 0);
        if (c.older != nullptr) WriteFile(dir / "dst", c.older);
        int writes = 0;
        TabfFileOperation op;
        TabfFileOperation::CopyMode mode;
        mode.inPlace = true;
        mode.accept = [](const std::string&) { return true; };
        op.byteWrite = [&](int to, const char* data, std::size_t size) {
            ++writes;
            return files::WriteAllBytes(to, data, size);
        };
        op.SetFileList({dir / "src"});
        op.DestFolder = dir / "dst";
        ASSERT_TRUE(op.Copy(mode).Ok());
        EXPECT_EQ(ReadFile(dir / "dst"), c.now);
        EXPECT_EQ(writes, c.writes);
        struct stat info {};
        ASSERT_EQ(::stat((dir / "dst").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0640u);
        EXPECT_EQ(info.st_mtim.tv_sec, 1200000000);
        EXPECT_EQ(info.st_mtim.tv_nsec, 123456789);
    }
}

// A copy whose record says that neither it nor its source changed since it was made is kept
// without reading either; anything that may differ, also where a user or a tool set the times
// back, is read and judged again.
TEST(FileOperation, AJudgedCopyInPlaceKeepsARecordedCopyOfTheUnchangedSourceUnread) {
    auto putTimeBack = [](const std::string& path, const std::function<void()>& change) {
        struct stat info {};
        ::stat(path.c_str(), &info);
        change();
        const struct timespec times[2] = {info.st_atim, info.st_mtim};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    };
    struct Case {
        const char* what;
        std::function<void(const std::string& dir)> between;
        int judged;  // by the second copy
    };
    const Case cases[] = {
        {"unchanged", [](const std::string&) {}, 0},
        {"rewritten since, with its old time",
         [&](const std::string& dir) {
             putTimeBack(dir + "/src", [&] { WriteFile(dir + "/src", "longer content"); });
         },
         1},
        {"rewritten with the same size, its old time put back",
         [&](const std::string& dir) {
             putTimeBack(dir + "/src", [&] { WriteFile(dir + "/src", "CONTENT"); });
         },
         1},
        {"the copy changed, its time put back",
         [&](const std::string& dir) {
             putTimeBack(dir + "/dst", [&] { WriteFile(dir + "/dst", "c0ntent"); });
         },
         1},
        {"other permissions", [](const std::string& dir) { ::chmod((dir + "/src").c_str(), 0600); },
         1},
        {"a second name links to the copy",
         [](const std::string& dir) { ::link((dir + "/dst").c_str(), (dir + "/snap").c_str()); },
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WriteFile(dir / "src", "content");
        // A record is trusted only for a source written before the clock tick of its reading.
        ::usleep(20000);
        int judged = 0;
        files::CopyRecord record;
        TabfFileOperation op;
        TabfFileOperation::CopyMode mode;
        mode.inPlace = true;
        mode.accept = [&](const std::string&) { return ++judged > 0; };
        op.SetFileList({dir / "src"});
        op.DestFolder = dir / "dst";
        mode.made = &record;
        ASSERT_TRUE(op.Copy(mode).Ok());
        c.between(dir.path());
        // Past the kernel's coarse clock tick, so that a change of the copy shows in its times.
        ::usleep(20000);
        judged = 0;
        files::CopyRecord again;
        mode.known = &record;
        mode.made = &again;
        ASSERT_TRUE(op.Copy(mode).Ok());
        EXPECT_EQ(judged, c.judged);
        EXPECT_EQ(ReadFile(dir / "dst"), ReadFile(dir / "src"));
    }
}

// An older copy of a read-only source is read-only itself; an ordinary user cannot open it for
// writing, so the name gets a new file (as root that is never seen, hence the child as nobody).
TEST(FileOperation, AJudgedCopyInPlaceReplacesAnOlderReadOnlyFileForAnOrdinaryUser) {
    TempDir dir;
    WriteFile(dir / "src", "new bytes");
    WriteFile(dir / "dst", "old bytes");
    const uid_t kNobody = 65534;
    for (const char* name : {"", "/src", "/dst"}) {
        ASSERT_EQ(::chown((dir.path() + name).c_str(), kNobody, kNobody), 0);
    }
    ASSERT_EQ(::chmod((dir / "src").c_str(), 0444), 0);
    ASSERT_EQ(::chmod((dir / "dst").c_str(), 0444), 0);
    const int exitCode = InChildWithAlarm([&] {
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) return 2;
        TabfFileOperation op;
        TabfFileOperation::CopyMode mode;
        mode.inPlace = true;
        mode.accept = [](const std::string&) { return true; };
        op.SetFileList({dir / "src"});
        op.DestFolder = dir / "dst";
        return op.Copy(mode).Ok() ? 0 : 1;
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(ReadFile(dir / "dst"), "new bytes");
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

// What lies in a deleted folder but belongs elsewhere is never touched: a link is removed, not
// followed, and a mounted folder (a bind mount of the same disk too) stops the delete there.
TEST(FileOperation, DeleteNeitherFollowsLinksNorCrossesIntoAMount) {
    TempDir dir;
    WriteFile(dir / "mine/a.part.met", "the client's");
    WriteFile(dir / "B/1.HWS", "one");
    std::filesystem::create_directory_symlink(dir / "mine", dir / "B/link");
    std::filesystem::create_directories(dir / "B/S/view");
    TabfFileOperation op;
    test::ScratchMounts mounts;
    const std::string why = mounts.Bind(dir / "mine", dir / "B/S/view");
    if (!why.empty()) GTEST_SKIP() << why;
    op.SetFileList({dir / "B"});
    const StepResult deleted = op.Delete();
    EXPECT_FALSE(deleted);
    EXPECT_EQ(deleted.error, EXDEV);
    EXPECT_EQ(deleted.path, dir / "B/S/view");
    EXPECT_EQ(ReadFile(dir / "mine/a.part.met"), "the client's");
    EXPECT_EQ(ReadFile(dir / "B/S/view/a.part.met"), "the client's");
    op.SetFileList({dir / "B/S/view"});  // nor the mount itself
    EXPECT_FALSE(op.Delete());
    EXPECT_EQ(ReadFile(dir / "mine/a.part.met"), "the client's");
}

TEST(FileOperation, CopiesAFolderWithItsContents) {
    TempDir dir;
    WriteFile(dir / "src/a.met", "a");
    WriteFile(dir / "src/sub/b.dat", "b");
    TabfFileOperation op;
    op.SetFileList({dir / "src"});
    op.DestFolder = dir / "copy";
    EXPECT_TRUE(op.Copy().Ok());
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

TEST(FileOperation, PipesDevicesAndSocketsAreNeitherReadNorWaitedFor) {
    for (const std::string kind : {"pipe", "device", "socket"}) {
        SCOPED_TRACE(kind);
        TempDir dir;
        const std::string source = dir / "t/001.part.met";
        std::filesystem::create_directories(dir / "t");
        if (!MakeSpecial(kind, source)) {
            std::printf("[ SKIPPED  ] no %s can be made here: %s\n", kind.c_str(),
                        std::strerror(errno));
            continue;
        }
        for (bool inPlace : {false, true}) {
            const int result = InChildWithAlarm([&] {
                TabfFileOperation op;
                TabfFileOperation::CopyMode mode;
                mode.inPlace = inPlace;
                op.SetFileList({source});
                op.DestFolder = dir / "b/001.part.met.HWS";
                return op.Copy(mode).Ok() ? 1 : 0;
            });
            EXPECT_EQ(result, 0) << "1: copied, -1: hung" << (inPlace ? " in place" : "");
            EXPECT_TRUE(!FolderExists(dir / "b") || Names(dir / "b").empty());
        }
    }
}

TEST(FileOperation, TemporaryNamesFitWhereverTheTargetsNameFits) {
    TempDir dir;
    for (std::size_t length : {240u, 251u, 255u}) {
        SCOPED_TRACE(length);
        const std::string name(length, 'n');
        WriteFile(dir / ("src/" + name), "content");
        TabfFileOperation op;
        op.SetFileList({dir / ("src/" + name)});
        op.DestFolder = dir / ("dst/" + name);
        EXPECT_TRUE(op.Copy().Ok());
        EXPECT_EQ(ReadFile(dir / ("dst/" + name)), "content");
        EXPECT_EQ(Names(dir / "dst").size(), 1u);
        std::filesystem::remove(dir / ("dst/" + name));
    }
    TabfFileOperation op;  // a name past the limit fails as too long, leaving nothing
    WriteFile(dir / "src/short", "s");
    op.SetFileList({dir / "src/short"});
    op.DestFolder = dir / ("dst/" + std::string(256, 'n'));
    EXPECT_EQ(op.Copy().error, ENAMETOOLONG);
    EXPECT_TRUE(Names(dir / "dst").empty());
}

TEST(FileOperation, OwnTemporaryFilesAreRecognisedByTheirExactPattern) {
    for (const char* name :
         {".hws-tmp.aB3xZ9", ".001.part.met.hws-tmp.000000", "..hws-tmp.abcdef"}) {
        EXPECT_TRUE(files::IsOwnTempName(name)) << name;
    }
    for (const char* name :
         {"hws-tmp.aB3xZ9", ".hws-tmp.aB3xZ", ".hws-tmp.aB3xZ90", ".hws-tmp.aB3x-9", ".hws-tmp.",
          ".x.hws-tmp.aB3xZ9.part.met", ".x.hws_tmp.aB3xZ9", "001.part.met.HWS", ".hws-newest"}) {
        EXPECT_FALSE(files::IsOwnTempName(name)) << name;
    }
    {  // a copy cut short before its rename leaves exactly such a name, which the rename removes
        TempDir dir;
        WriteFile(dir / "src.met", "x");
        TabfFileOperation op;
        std::vector<std::string> seen;
        op.beforeChange = [&] { seen = Names(dir / "dst"); };
        op.SetFileList({dir / "src.met"});
        op.DestFolder = dir / "dst/src.met";
        ASSERT_TRUE(op.Copy().Ok());
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_TRUE(files::IsOwnTempName(seen[0])) << seen[0];
        EXPECT_EQ(Names(dir / "dst"), std::vector<std::string>{"src.met"});
    }
}

TEST(FileOperation, ExchangeSwapsTwoFoldersInOneStep) {
    TempDir dir;
    WriteFile(dir / "B/old.HWS", "old");
    WriteFile(dir / "new/new.HWS", "new");
    TabfFileOperation op;
    op.SetFileList({dir / "new"});
    op.DestFolder = dir / "B";
    ASSERT_TRUE(op.Exchange());
    EXPECT_EQ(ReadFile(dir / "B/new.HWS"), "new");
    EXPECT_EQ(ReadFile(dir / "new/old.HWS"), "old");
    op.SetFileList({dir / "missing"});
    const StepResult swapped = op.Exchange();
    EXPECT_FALSE(swapped);
    EXPECT_EQ(swapped.path, dir / "missing");
    EXPECT_EQ(swapped.error, ENOENT);
    EXPECT_EQ(ReadFile(dir / "B/new.HWS"), "new");
}

TEST(FileOperation, TheChangeHookRunsRightBeforeEveryRenameSwapAndDelete) {
    TempDir dir;
    WriteFile(dir / "a/f", "f");
    WriteFile(dir / "c/g", "g");
    TabfFileOperation op;
    std::vector<std::string> log;
    op.beforeChange = [&] {
        std::string state;
        for (bool present : {FolderExists(dir / "a"), FolderExists(dir / "b"),
                             FileExists(dir / "b/f2"), FolderExists(dir / "c")}) {
            state += present ? "1" : "0";
        }
        log.push_back(state);
    };
    op.SetFileList({dir / "a"});
    op.DestFolder = dir / "b";
    ASSERT_TRUE(op.Move());  // a still there, b not yet
    op.SetFileList({dir / "b/f"});
    op.DestFolder = dir / "b/f2";
    ASSERT_TRUE(op.Copy().Ok());  // the rename of the finished copy
    TabfFileOperation::CopyMode inPlace;
    inPlace.inPlace = true;
    op.DestFolder = dir / "b/f3";
    ASSERT_TRUE(op.Copy(inPlace).Ok());  // in place: nothing is renamed
    op.SetFileList({dir / "c"});
    op.DestFolder = dir / "b";
    ASSERT_TRUE(op.Exchange());  // b still holds f2
    op.SetFileList({dir / "c"});
    ASSERT_TRUE(op.Delete());  // c still there
    EXPECT_EQ(log, (std::vector<std::string>{"1001", "0101", "0111", "0101"}));
}

// Seams are called from every copying thread: only stepsInOrder keeps a run on one thread, and
// copyThreads puts even a short run on several.
TEST(FileOperation, CopyWorkersFollowTheSwitchesNotTheSeams) {
    struct Case {
        bool seam, inOrder;
        unsigned threads;
        std::size_t count;
        unsigned expected;
    };
    const unsigned automatic = files::WorkersFor(10000);
    // clang-format off
    const Case cases[] = {
        {false, false, 0, 10000, automatic},
        {true,  false, 0, 10000, automatic},
        {true,  true,  0, 10000, 1},
        {true,  false, 4, 40,    4},
        {false, false, 4, 2,     2},
        {true,  true,  4, 40,    1},
    };
    // clang-format on
    for (const Case& c : cases) {
        TabfFileOperation op;
        if (c.seam) op.byteWrite = files::WriteAllBytes;
        op.stepsInOrder = c.inOrder;
        op.copyThreads = c.threads;
        EXPECT_EQ(op.CopyWorkers(c.count), c.expected) << c.seam << c.inOrder << c.threads;
    }
}

}  // namespace
}  // namespace hw
