#include "ui/contents_view.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "backup/backup_fixture.h"
#include "support/part_file_bytes.h"

namespace hw::test {
namespace {

// A whole part file of a download: its hash's byte, name, size and the bytes still missing
// (one gap at the start).
std::string Download(char id, const std::string& name, std::uint32_t size, std::uint32_t missing) {
    return test::Download(name, size, id, 0, missing);
}

PartFileSeen Seen(bool present, bool whole, std::uint64_t size = 0, std::uint64_t done = 0) {
    PartFileSeen seen{present, whole, {}};
    seen.info.size = size;
    seen.info.done = done;
    return seen;
}

DownloadRow Row(const std::string& place, const std::string& name, std::uint64_t size,
                PartFileSeen temp, PartFileSeen newest, PartFileSeen older, DownloadState state) {
    return {place, name,   size,  name.empty() ? "" : "00112233445566778899AABBCCDDEEFF",
            temp,  newest, older, state};
}

std::vector<std::string> Cells(const ContentsView& view, int row) {
    std::vector<std::string> cells;
    for (int c = 0; c < ContentsView::kColumns; ++c) cells.push_back(view.Cell(row, c));
    return cells;
}

TEST(ContentsView, CellsAndStatesInBothLanguages) {
    const std::uint64_t big = 4'400'000'000ULL;
    BackupContents contents;
    contents.newestFolder = "/b";
    // clang-format off
    contents.rows = {
        Row("1.part.met", "a.iso", 1536, Seen(true, true, 1536, 768), Seen(true, true, 1536, 384), Seen(false, false), DownloadState::AheadOfBackup),
        Row("2.part.met", "b.iso", big, Seen(true, false), Seen(true, true, big, big - 1), Seen(true, true, big, big), DownloadState::DamagedInTemp),
        Row("3.part.met", "c.iso", 1023, Seen(false, false), Seen(true, true, 1023, 0), Seen(true, false), DownloadState::MissingInTemp),
        Row("4.part.met", "d.iso", 1048575, Seen(true, true, 1048575, 1048575), Seen(false, false), Seen(false, false), DownloadState::Whole),
        Row("5.part.met", "", 0, Seen(false, false), Seen(false, false), Seen(true, false), DownloadState::OnlyInOlder),
    };
    const struct { const char* code; std::vector<std::vector<std::string>> cells; const char* summary; } cases[] = {
        {"EN", {{"a.iso", "1.5 KB", "50.0 %", "25.0 %", "-", "further along in the temp folder than in the backup"},
                {"b.iso", "4.1 GB", "damaged", "99.9 %", "100.0 %", "damaged in the temp folder"},
                {"c.iso", "1023 B", "-", "0.0 %", "damaged", "missing in the temp folder"},
                {"d.iso", "1.0 MB", "100.0 %", "-", "-", "whole"},
                {"5.part.met", "-", "-", "-", "damaged", "only in the older backup"}},
         "5 downloads; 3 of them damaged or missing in the temp folder."},
        {"DE", {{"a.iso", "1,5 KB", "50,0 %", "25,0 %", "-", "im Temp-Ordner weiter als in der Sicherung"},
                {"b.iso", "4,1 GB", "beschädigt", "99,9 %", "100,0 %", "im Temp-Ordner beschädigt"},
                {"c.iso", "1023 B", "-", "0,0 %", "beschädigt", "fehlt im Temp-Ordner"},
                {"d.iso", "1,0 MB", "100,0 %", "-", "-", "vollständig"},
                {"5.part.met", "-", "-", "-", "beschädigt", "nur in der älteren Sicherung"}},
         "5 Downloads; davon 3 im Temp-Ordner beschädigt oder fehlend."},
    };
    // clang-format on
    FakeDesktop desk;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        desk.f().ApplyLanguage(c.code);
        ContentsView view(desk.f(), {});
        view.Fill(contents);
        ASSERT_EQ(view.rowCount(), 5);
        for (int r = 0; r < 5; ++r) {
            EXPECT_EQ(Cells(view, view.RowOf(contents.rows[r].place)), c.cells[r]) << r;
        }
        EXPECT_EQ(view.Summary(), c.summary);
        EXPECT_EQ(view.Heading(ContentsView::kDoneNewest),
                  c.code == std::string("EN") ? "In newest backup" : "In neuester Sicherung");
    }
}

TEST(ContentsView, NumbersSortAsNumbersAndLostDownloadsComeFirst) {
    BackupContents contents;
    // clang-format off
    contents.rows = {
        Row("1.part.met", "beta", 10, Seen(true, true, 10, 5), {}, {}, DownloadState::Whole),
        Row("2.part.met", "Alpha", 2048, Seen(true, false), {}, {}, DownloadState::DamagedInTemp),
        Row("3.part.met", "gamma", 9, Seen(true, true, 9, 9), {}, {}, DownloadState::AheadOfBackup),
        Row("4.part.met", "delta", 0, Seen(false, false), {}, {}, DownloadState::MissingInTemp),
    };
    const struct { int column; bool ascending; std::vector<std::string> names; } cases[] = {
        {ContentsView::kName, true, {"Alpha", "beta", "delta", "gamma"}},
        {ContentsView::kSize, true, {"delta", "gamma", "beta", "Alpha"}},
        {ContentsView::kSize, false, {"Alpha", "beta", "gamma", "delta"}},
        {ContentsView::kDoneTemp, true, {"delta", "Alpha", "beta", "gamma"}},
        {ContentsView::kState, true, {"Alpha", "delta", "gamma", "beta"}},
    };
    // clang-format on
    FakeDesktop desk;
    desk.f().ApplyLanguage("EN");
    ContentsView view(desk.f(), {});
    view.Fill(contents);
    for (const auto& c : cases) {
        view.Sort(c.column, c.ascending);
        std::vector<std::string> names;
        for (int r = 0; r < view.rowCount(); ++r) names.push_back(view.row(r).name);
        EXPECT_EQ(names, c.names) << c.column << " " << c.ascending;
    }
    // A new reading keeps the sort.
    view.Fill(contents);
    EXPECT_EQ(view.row(0).name, "Alpha");
    EXPECT_EQ(view.RowOf("1.part.met"), 3);
}

struct ContentsDesk : BackupDesk {
    ContentsDesk() {
        WriteFile(B + "/001.part.met.HWS", Download('1', "one", 1000, 500));
        WriteFile(B + "/002.part.met.HWS", Download('2', "two", 1000, 500));
        WriteFile(B + "/003.part.met.HWS", Download('3', "three", 1000, 500));
        WriteFile(T + "/001.part.met", "damaged");
        WriteFile(T + "/002.part.met", Download('2', "two", 1000, 100));  // further along
        WriteFile(T + "/003.part.met", Download('3', "three", 1000, 500));
    }
    // Opens the view and runs `act` on it while it is shown.
    void WithView(const std::function<void(ContentsView&)>& act) {
        f().showContents = act;
        f().btn_contents.userClick();
    }
};

TEST(RestoreChosen, RestoresOnlyTheChosenAfterAskingAndNeverWhileTheClientRuns) {
    ContentsDesk d;
    d.desk.processes.running = {"EMULE.exe"};
    d.desk.dialogs.answers = {true};
    d.WithView([&](ContentsView& view) {
        ASSERT_EQ(view.rowCount(), 3);
        view.RestoreLost();
    });
    EXPECT_EQ(d.desk.dialogs.shown.at(0).text.substr(0, 46),
              "Restore 1 download from the newest backup?\n\nIn");
    ASSERT_EQ(d.messages().size(), 1u);
    EXPECT_EQ(d.messages()[0].substr(0, 35), "Please close the eDonkey-Client fir");
    EXPECT_EQ(ReadFile(d.T + "/001.part.met"), "damaged");

    d.desk.processes.running.clear();
    d.desk.dialogs.shown.clear();
    d.desk.dialogs.answers = {true};
    std::string stateAfter;
    d.WithView([&](ContentsView& view) {
        view.RestoreLost();
        stateAfter = view.Cell(view.RowOf("001.part.met"), ContentsView::kState);  // read again
    });
    EXPECT_EQ(d.messages(), Strings{"Restoring *.PART.METs successful !"});
    EXPECT_EQ(stateAfter, "whole");
    EXPECT_EQ(ReadFile(d.T + "/001.part.met"), ReadFile(d.B + "/001.part.met.HWS"));
    EXPECT_EQ(ReadFile(d.T + "/002.part.met"),
              Download('2', "two", 1000, 100));  // kept its progress
}

TEST(RestoreChosen, AChoiceWithoutACopyThereSaysSoAndAsksNothing) {
    ContentsDesk d;
    const struct {
        std::vector<int> rows;
        bool older;
        const char* told;
    } cases[] = {
        {{}, false, "Select the downloads to restore first."},
        {{0, 1},
         true,
         "None of the selected downloads has a whole copy in the older backup: nothing was "
         "restored."},
    };
    for (const auto& c : cases) {
        d.desk.dialogs.shown.clear();
        d.WithView([&](ContentsView& view) { view.RestoreSelected(c.rows, c.older); });
        EXPECT_EQ(d.messages(), Strings{c.told});
        EXPECT_EQ(d.desk.dialogs.count(Shown::Kind::Question), 0);
    }
    d.desk.dialogs.shown.clear();
    d.f().RestoreChosen({}, false);  // no place is never the full restore
    EXPECT_TRUE(d.desk.dialogs.shown.empty());
    EXPECT_EQ(ReadFile(d.T + "/001.part.met"), "damaged");
}

// Runs the work and its end at once, as a worker whose thread is done before the next event.
class AtOnceWorker : public RunWorker {
  public:
    void Start(std::function<void()> work, std::function<void()> done) override {
        work();
        done();
    }
    void Post(std::function<void()>) override {}  // progress is not shown here
};

TEST(ContentsView, WaitsWhileARunIsUnderWayAndReadsAgainAtItsEnd) {
    ContentsDesk d;
    AtOnceWorker worker;
    d.f().services.worker = &worker;
    WriteFile(d.T + "/004.part.met", Download('4', "four", 1000, 0));
    d.desk.processes.running = {"emule.exe"};
    std::vector<bool> busySeen;
    std::string newestAfter;
    d.WithView([&](ContentsView& view) {
        view.onChanged = [&](bool) { busySeen.push_back(view.Busy()); };
        EXPECT_EQ(view.Cell(view.RowOf("004.part.met"), ContentsView::kDoneNewest), "-");
        d.f().BackupPartFiles(true);
        newestAfter = view.Cell(view.RowOf("004.part.met"), ContentsView::kDoneNewest);
    });
    EXPECT_EQ(busySeen, (std::vector<bool>{true, false}));
    EXPECT_EQ(newestAfter, "100.0 %");
}

TEST(RestoreCommand, TheQuestionSaysHowManyPartFilesWouldBeSetBack) {
    for (const bool ahead : {false, true}) {
        ContentsDesk d;
        if (!ahead) WriteFile(d.T + "/002.part.met", Download('2', "two", 1000, 500));
        d.f().btn_restoreClick();  // answered No
        const std::string& asked = d.desk.dialogs.shown.at(0).text;
        EXPECT_EQ(
            asked.find("\n\n1 part file in the temp folder is further along than in the "
                       "newest backup and would be set back to its progress.") != std::string::npos,
            ahead)
            << asked;
    }
    EXPECT_EQ(SetBackText("DE", 3, true),
              "3 Part-Dateien im Temp-Ordner sind weiter als in der älteren Sicherung und würden "
              "auf deren Stand zurückgesetzt.");
}

}  // namespace
}  // namespace hw::test
