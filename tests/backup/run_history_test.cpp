#include "backup/run_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "backup/backup_fixture.h"
#include "support/fake_services.h"
#include "support/odd_files.h"
#include "ui/language.h"

namespace hw::test {
namespace {

namespace fs = std::filesystem;

std::string Lines(std::size_t from, std::size_t to, bool restore = false,
                  const std::string& message = "ok") {
    std::string text;
    for (std::size_t i = from; i <= to; ++i) {
        text += FormatRunRecord({1796646060, restore, false, i, 0, true, message, "/b"}) + "\n";
    }
    return text;
}

TEST(RunHistory, ALineHoldsTheRunOnOneLineAndReadsBackAsWritten) {
    RunRecord run;
    run.when = 1796646060;
    run.automatic = true;
    run.files = 8;
    run.damaged = 1;
    run.message = "Backing up failed !\n\nThe folder:\n\n/b\tx";
    run.folder = "/srv/backup";
    const std::string line = FormatRunRecord(run);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_NE(line.find("\tbackup\tautomatic\t8\t1\tfailed\t/srv/backup\tBacking up failed ! | "
                        "The folder: | /b x"),
              std::string::npos)
        << line;
    const std::optional<RunRecord> back = ParseRunRecord(line);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->when, run.when);
    EXPECT_TRUE(back->automatic && !back->restore && !back->succeeded);
    EXPECT_EQ(back->files, 8u);
    EXPECT_EQ(back->folder, run.folder);
    EXPECT_EQ(back->message, "Backing up failed ! | The folder: | /b x");
    // A line of an older version, without the folder, and one with an empty message.
    const auto old =
        ParseRunRecord("2026-12-07T14:21:05+0100\tbackup\tmanual\t1\t0\tsucceeded\tok");
    ASSERT_TRUE(old.has_value());
    EXPECT_EQ(old->folder, std::nullopt);
    EXPECT_EQ(old->message, "ok");
    EXPECT_EQ(ParseRunRecord(FormatRunRecord({1, false, false, 0, 0, true, "", ""}))->folder, "");
    for (const char* broken :
         {"", "2026-12-07T14:21:05+0100\tbackup", "yesterday\tbackup\tmanual\t1\t0\tsucceeded"}) {
        EXPECT_FALSE(ParseRunRecord(broken).has_value()) << broken;
    }
}

TEST(RunHistory, KeepsTheNewestRunsAndFindsTheLastBackup) {
    TempDir dir;
    const std::string path = dir / "state/hoardwise/history.log";
    EXPECT_FALSE(LastBackupRuns(path, "/b").newest.has_value());
    RunRecord run;
    run.folder = "/b";
    for (int i = 1; i <= 25; ++i) {
        run.when = 1796646060 + i;
        run.restore = i == 25;
        run.files = static_cast<std::size_t>(i);
        ASSERT_EQ(AppendRunRecord(path, run, 10), HistoryAppend::Written);
        const std::string text = ReadFile(path);
        const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        EXPECT_LE(lines, 11u) << i;  // a tenth more than kept, then the newest ten
    }
    const std::string text = ReadFile(path);
    EXPECT_EQ(text.find("\t1\t"), std::string::npos);
    EXPECT_EQ(LastBackupRuns(path, "/b").newest->files,
              24u);  // the restore after it does not count
}

TEST(RunHistory, ReadsAndTrimsFromTheEndSkippingWhatIsNoRun) {
    // `before`, `junk` zeros without a line break (sparse: cheap), `after`; the newest backup
    // (0: none) and the runs the window lists (the newest kHistoryRuns); after one more run,
    // `keep` kept: the lines, and the first one's files.
    const std::uintmax_t huge = 100u << 20;
    // clang-format off
    struct Row { const char* name; std::string before; std::uintmax_t junk; std::string after; std::size_t last, listed, keep, lines, first; };
    const Row rows[] = {
        {"restores over several chunks", Lines(1, 1) + Lines(1, 2299, true), 0, "", 1, kHistoryRuns, 2000, 2000, 301},
        {"not a tenth more", Lines(1, 2199), 0, "", 2199, kHistoryRuns, 2000, 2200, 1},
        {"a long message", Lines(1, 1) + Lines(2, 2, false, std::string(100000, 'x')), 0, "", 2, 2, 10, 3, 1},
        {"a line cut short", Lines(1, 1), 0, "2026-12-07T1", 1, 1, 10, 3, 1},
        {"an over-long line", Lines(1, 1), 100000, "\n" + Lines(3, 3, true), 1, 2, 1000, 2, 3},
        {"behind a huge line", Lines(1, 1), huge, "\n" + Lines(3, 3, true), 0, 1, 10, 2, 3},
        {"a huge line cut short", Lines(1, 1), huge, "", 0, 0, 10, 1, 9999},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = dir / "history.log";
        WriteFile(path, row.before);
        fs::resize_file(path, row.before.size() + row.junk);
        std::ofstream(path, std::ios::app) << row.after;
        EXPECT_EQ(LastBackupRuns(path, "/b").newest.value_or(RunRecord{}).files, row.last);
        EXPECT_EQ(ReadRunHistory(path).size(), row.listed);
        ASSERT_EQ(
            AppendRunRecord(path, {1796646060, false, false, 9999, 0, true, "new", "/b"}, row.keep),
            HistoryAppend::Written);
        ASSERT_LT(fs::file_size(path), 1u << 20);
        const std::string text = ReadFile(path);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(row.lines));
        EXPECT_EQ(ParseRunRecord(text.substr(0, text.find('\n'))).value_or(RunRecord{}).files,
                  row.first);
        EXPECT_EQ(LastBackupRuns(path, "/b").newest.value_or(RunRecord{}).files, 9999u);
    }
}

TEST(RunHistory, TheLastBackupIsTheNewestOfTheFolderAskedFor) {
    TempDir dir;
    const std::string path = dir / "history.log";
    // Oldest first: a line of an older version, then runs of /a, /b and a folder not set, a
    // line that is no run, and a failed run of /a after its restore.
    WriteFile(path, "2026-12-07T14:21:05+0100\tbackup\tmanual\t1\t0\tsucceeded\told\n" +
                        FormatRunRecord({2, false, false, 2, 0, true, "", "/a"}) + "\n" +
                        FormatRunRecord({3, false, true, 3, 0, false, "", "/b"}) + "\n" +
                        FormatRunRecord({4, false, false, 4, 0, false, "", ""}) + "\n" +
                        FormatRunRecord({5, true, false, 5, 0, true, "", "/a"}) + "\nno run\n" +
                        FormatRunRecord({6, false, true, 6, 0, false, "", "/a"}) + "\n");
    // The newest backup of the folder, and its newest successful one (0: none).
    // clang-format off
    const std::tuple<const char*, std::size_t, std::size_t> rows[] = {{"/a", 6, 2}, {"/b", 3, 0}, {"", 4, 0}, {"/c", 0, 0}, {"/a/", 0, 0}};
    // clang-format on
    for (const auto& [folder, files, succeeded] : rows) {
        EXPECT_EQ(LastBackupRuns(path, folder).newest.value_or(RunRecord{}).files, files) << folder;
        const BackupRuns runs = LastBackupRuns(path, folder);
        EXPECT_EQ(runs.newest.value_or(RunRecord{}).files, files) << folder;
        EXPECT_EQ(runs.succeeded.value_or(RunRecord{}).files, succeeded) << folder;
    }
    // Every run the file holds, newest first, as many as asked for; the line of an older
    // version counts, the line that is no run does not.
    std::vector<std::size_t> listed;
    for (const RunRecord& run : ReadRunHistory(path, 4)) listed.push_back(run.files);
    EXPECT_EQ(listed, (std::vector<std::size_t>{6, 5, 4, 3}));
    EXPECT_EQ(ReadRunHistory(path).size(), 6u);
    EXPECT_TRUE(ReadRunHistory(dir / "missing").empty());
}

TEST(RunHistory, AFolderIsNamedByItsPathWithLinksAndDotsResolvedAsFarAsItExists) {
    TempDir dir;
    const std::string real = fs::canonical(dir.path()) / "real";
    fs::create_directory(real);
    fs::create_directory_symlink(real, dir / "link");
    // clang-format off
    const std::pair<std::string, std::string> rows[] = {
        {dir / "link/backup", real + "/backup"},        // the rest not made yet
        {dir / "link/./x/../backup/", real + "/backup"},
        {dir / "link//backup/../../link", real},
        {dir / "missing/x/../y", fs::canonical(dir.path()) / "missing/y"},
        {"/", "/"}, {"/..", "/"}, {"relative/backup", ""}, {"", ""},
    };
    // clang-format on
    for (const auto& [folder, name] : rows) EXPECT_EQ(BackupFolderName(folder), name) << folder;
}

TEST(RunHistory, LeavesAnythingButARegularFileAloneWithoutWaiting) {
    TempDir dir;
    WriteFile(dir / "target", Lines(1, 1));
    for (const std::string kind : {"pipe", "device", "socket", "link", "folder"}) {
        const std::string path = dir / kind;
        if (kind == "link") {
            fs::create_symlink("target", path);
        } else if (kind == "folder" ? !fs::create_directory(path) : !MakeSpecial(kind, path)) {
            continue;  // no devices in some containers
        }
        EXPECT_EQ(InChildWithAlarm([&] {
                      return AppendRunRecord(path, {}) != HistoryAppend::NotAFile ||
                             LastBackupRuns(path, "/b").newest || !ReadRunHistory(path).empty();
                  }),
                  0)
            << kind;
    }
    EXPECT_EQ(ReadFile(dir / "target"), Lines(1, 1));
}

TEST(RunHistory, ARunGoesOnAndTellsOnceThatTheHistoryIsNoFile) {
    // As a line of the command line, or in a box after a manual run's outcome.
    for (const bool commandLine : {false, true}) {
        BackupDesk d;
        const std::string ok = d.f().msg_backup_ok, path = d.f().historyFile = d.root / "history";
        ASSERT_TRUE(MakeSpecial("pipe", path));
        WriteFile(d.T + "/001.part.met", PartMet("1"));
        d.desk.processes.running = {"emule.exe"};
        Strings told;
        if (commandLine)
            d.f().onRunRecorded = [&](const std::string& line) { told.push_back(line); };
        ASSERT_EQ(InChildWithAlarm([&] {
                      return d.f().BackupPartFiles(false) != MainForm::RunOutcome::Succeeded;
                  }),
                  0);
        for (const bool automatic : {true, false, true, false}) d.f().BackupPartFiles(automatic);
        const std::string warning = LanguageText(d.f(), TextId::HistoryNotAFile) + path;
        EXPECT_EQ(d.messages(), (commandLine ? Strings{ok, ok} : Strings{ok, warning, ok}));
        EXPECT_EQ(told.size(), commandLine ? 5u : 0u);
        EXPECT_EQ(std::count(told.begin(), told.end(), warning), commandLine ? 1 : 0);
    }
}

}  // namespace
}  // namespace hw::test
