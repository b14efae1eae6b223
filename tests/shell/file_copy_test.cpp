#include "shell/file_copy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "shell/file_operation.h"
#include "support/fake_services.h"

namespace hw {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// The bytes arrive whole whether the kernel moves them itself or they go through read and write
// (a pipe as target, a source read from halfway), and a failure is put on the right side.
TEST(CopyAllBytes, MovesEveryByteFromTheCurrentOffsetAndBlamesTheRightSide) {
    TempDir dir;
    std::string content(300 * 1024, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 + i / 3);
    WriteFile(dir / "src", content);
    struct Case {
        const char* what;
        int sourceFlags;
        off_t skip;
        bool toPipe;
        bool targetReadOnly;
        bool copied;
        bool readFailed;
    };
    const Case cases[] = {
        {"file to file", O_RDONLY, 0, false, false, true, false},
        {"from halfway", O_RDONLY, 100001, false, false, true, false},
        {"file to pipe", O_RDONLY, 0, true, false, true, false},
        {"unreadable source", O_WRONLY, 0, false, false, false, true},
        {"unwritable target", O_RDONLY, 0, false, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int from = ::open((dir / "src").c_str(), c.sourceFlags | O_CLOEXEC);
        ASSERT_GE(from, 0);
        ASSERT_EQ(::lseek(from, c.skip, SEEK_SET), c.skip);
        int pipeEnds[2] = {-1, -1};
        int to = -1;
        if (c.toPipe) {
            ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
            ASSERT_GE(::fcntl(pipeEnds[1], F_SETPIPE_SZ, 1024 * 1024), 0);
            to = pipeEnds[1];
        } else {
            WriteFile(dir / "dst", "");
            to =
                ::open((dir / "dst").c_str(), (c.targetReadOnly ? O_RDONLY : O_WRONLY) | O_CLOEXEC);
        }
        ASSERT_GE(to, 0);
        bool readFailed = !c.readFailed;
        EXPECT_EQ(files::CopyAllBytes(from, to, &readFailed), c.copied);
        if (!c.copied) {
            EXPECT_EQ(readFailed, c.readFailed);
        }
        ::close(from);
        ::close(to);
        std::string arrived;
        if (c.toPipe) {
            char buffer[65536];
            ssize_t got = 0;
            while ((got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0)
                arrived.append(buffer, got);
            ::close(pipeEnds[0]);
        } else {
            arrived = ReadFile(dir / "dst");
        }
        if (c.copied) {
            EXPECT_EQ(arrived, content.substr(static_cast<std::size_t>(c.skip)));
        }
    }
}

TEST(CopyAllBytes, AnEmptySourceGivesAnEmptyCopy) {
    TempDir dir;
    WriteFile(dir / "src", "");
    WriteFile(dir / "dst", "");
    const int from = ::open((dir / "src").c_str(), O_RDONLY | O_CLOEXEC);
    const int to = ::open((dir / "dst").c_str(), O_WRONLY | O_CLOEXEC);
    EXPECT_TRUE(files::CopyAllBytes(from, to));
    ::close(from);
    ::close(to);
    EXPECT_EQ(ReadFile(dir / "dst"), "");
}

// In place, and judged and staged, the destination is tried as the file first; a folder there
// still takes the copy.
TEST(FileOperation, InPlaceCopyIntoAnExistingFolderGoesUnderTheSourcesName) {
    TempDir dir;
    WriteFile(dir / "t/x.part.met", "content");
    WriteFile(dir / "into/other", "");
    for (const char* way : {"plain", "judged", "judged and staged"}) {
        SCOPED_TRACE(way);
        TabfFileOperation op;
        TabfFileOperation::CopyMode mode;
        std::vector<files::StagedCopy> staged;
        mode.inPlace = std::string(way) != "judged and staged";
        if (!mode.inPlace) mode.staged = &staged;
        if (std::string(way) != "plain") mode.accept = [](const std::string&) { return true; };
        op.SetFileList({dir / "t/x.part.met"});
        op.DestFolder = dir / "into";
        EXPECT_TRUE(op.Copy(mode).Ok());
        EXPECT_TRUE(op.PutInPlace(staged));
        EXPECT_EQ(ReadFile(dir / "into/x.part.met"), "content");
        ::unlink((dir / "into/x.part.met").c_str());
    }
}

// A source waits before its second read only within the settling time after its change, or
// with a change ahead of the clock.
TEST(WouldWaitToSettle, OnlyASourceChangedWithinTheSettlingTime) {
    // clang-format off
    const struct { const char* what; long long clockMs; bool waits; } cases[] = {
        {"at its change", 0, true}, {"100 ms after", 100, true}, {"400 ms after", 400, false},
        {"a second after", 1000, false}, {"a minute after", 60000, false},
        {"5 s before", -5000, true},
    };
    // clang-format on
    struct stat source {};
    source.st_ctim = {1700000000, 500'000'000};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        files::CopyOptions options;
        options.clock = [&] {
            const long long ns = source.st_ctim.tv_nsec + c.clockMs * 1'000'000 + 10'000'000'000;
            return timespec{static_cast<time_t>(source.st_ctim.tv_sec + ns / 1'000'000'000 - 10),
                            static_cast<long>(ns % 1'000'000'000)};
        };
        EXPECT_EQ(files::WouldWaitToSettle(source, options), c.waits);
    }
}

}  // namespace
}  // namespace hw
