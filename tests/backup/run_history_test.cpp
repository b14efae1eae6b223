#include "backup/run_history.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/fake_services.h"

namespace hw::test {
namespace {

TEST(RunHistory, ALineHoldsTheRunOnOneLineAndReadsBackAsWritten) {
    RunRecord run;
    run.when = 1796646060;
    run.automatic = true;
    run.files = 8;
    run.damaged = 1;
    run.message = "Backing up failed !\n\nThe folder:\n\n/b\tx";
    const std::string line = FormatRunRecord(run);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_NE(
        line.find("\tbackup\tautomatic\t8\t1\tfailed\tBacking up failed ! | The folder: | /b x"),
        std::string::npos)
        << line;
    const std::optional<RunRecord> back = ParseRunRecord(line);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->when, run.when);
    EXPECT_TRUE(back->automatic && !back->restore && !back->succeeded);
    EXPECT_EQ(back->files, 8u);
    for (const char* broken :
         {"", "2026-12-07T14:21:05+0100\tbackup", "yesterday\tbackup\tmanual\t1\t0\tsucceeded"}) {
        EXPECT_FALSE(ParseRunRecord(broken).has_value()) << broken;
    }
}

TEST(RunHistory, KeepsTheNewestRunsAndFindsTheLastBackup) {
    TempDir dir;
    const std::string path = dir / "state/hoardwise/history.log";
    EXPECT_FALSE(LastBackupRun(path).has_value());
    RunRecord run;
    for (int i = 1; i <= 25; ++i) {
        run.when = 1796646060 + i;
        run.restore = i == 25;
        run.files = static_cast<std::size_t>(i);
        ASSERT_TRUE(AppendRunRecord(path, run, 10));
        const std::string text = ReadFile(path);
        const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        EXPECT_LE(lines, 11u) << i;  // a tenth more than kept, then the newest ten
    }
    const std::string text = ReadFile(path);
    EXPECT_EQ(text.find("\t1\t"), std::string::npos);
    EXPECT_EQ(LastBackupRun(path)->files, 24u);  // the restore after it does not count
}

}  // namespace
}  // namespace hw::test
