#include "ui/history_view.h"

#include <gtest/gtest.h>

namespace hw {
namespace {

TEST(HistoryView, RowsKeepTheOrderGivenAndTellEachRunInWordsOfTheLanguage) {
    // Newest first, as the history is read.
    const std::vector<RunRecord> runs = {
        {1796646100, true, false, 3, 0, true, "Restored.", "/b"},
        {1796646000, false, true, 8, 1, false, "Backing up failed !\n\nThe folder:\n\n/b", "/b"},
    };
    // clang-format off
    const std::pair<const char*, std::vector<std::string>> rows[] = {
        {"EN", {"Restore", "manual", "succeeded", "Backup", "automatic", "failed", "Time", "Message"}},
        {"DE", {"Wiederherstellung", "manuell", "erfolgreich", "Sicherung", "automatisch", "fehlgeschlagen", "Zeit", "Meldung"}},
    };
    // clang-format on
    for (const auto& [code, words] : rows) {
        SCOPED_TRACE(code);
        const HistoryView view = MakeHistoryView(code, runs, "/home/me/history.log");
        ASSERT_EQ(view.rows.size(), 2u);
        ASSERT_EQ(view.headings.size(), static_cast<std::size_t>(HistoryColumn::Count));
        const HistoryRow& newest = view.rows[0];
        const HistoryRow& older = view.rows[1];
        EXPECT_EQ(std::vector<std::string>({newest.kind, newest.mode, newest.result, older.kind,
                                            older.mode, older.result, view.headings.front(),
                                            view.headings.back()}),
                  words);
        EXPECT_EQ(newest.time, LocalTime(1796646100, "%Y-%m-%d %H:%M:%S"));
        EXPECT_EQ(older.files, 8u);
        EXPECT_EQ(older.damaged, 1u);
        EXPECT_EQ(older.message, "Backing up failed ! | The folder: | /b");
        EXPECT_EQ(view.path, "/home/me/history.log");
    }
    EXPECT_NE(MakeHistoryView("EN", runs, "").emptyText, MakeHistoryView("DE", runs, "").emptyText);
    EXPECT_TRUE(MakeHistoryView("EN", {}, "").rows.empty());
}

}  // namespace
}  // namespace hw
