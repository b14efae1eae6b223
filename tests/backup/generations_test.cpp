#include "backup/generations.h"

#include <gtest/gtest.h>

#include <map>

#include "backup/backup_fixture.h"

namespace hw::test {
namespace {

// Each state that a run stopped between two of its steps can leave (by this version or by one
// that renamed B to B_old before the new generation to B, or gave the hidden folders no dot), as
// folder name -> generation; "*"
// marks the newest generation that waits for its place, "partial" an unfinished one.
struct State {
    const char* what;
    std::map<std::string, std::string> folders;
    std::string backup;  // what B holds afterwards
    std::string old;     // what B_old holds afterwards, "" for none
};

TEST(Generations, ARestoreFirstPutsTheNewestCompleteGenerationInPlace) {
    const std::vector<State> states = {
        {"older version: B set aside, the new one not in place",
         {{"backup_old", "g2"}, {".backup.hws-staging", "g3"}, {".backup.hws-discard", "partial"}},
         "g2",
         ""},
        {"complete, nothing moved yet",
         {{"backup", "g2"}, {"backup_old", "g1"}, {".backup.hws-new", "g3*"}},
         "g3",
         "g2"},
        {"B_old set aside",
         {{"backup", "g2"}, {".backup.hws-new", "g3*"}, {".backup.hws-discard", "g1"}},
         "g3",
         "g2"},
        {"swapped",
         {{"backup", "g3*"}, {".backup.hws-new", "g2"}, {".backup.hws-discard", "partial"}},
         "g3",
         "g2"},
        {"no swap possible, B moved",
         {{"backup_old", "g2"}, {".backup.hws-new", "g3*"}, {".backup.hws-discard", "g1"}},
         "g3",
         "g2"},
        {"mark not yet removed", {{"backup", "g3*"}, {"backup_old", "g2"}}, "g3", "g2"},
        {"first run", {{".backup.hws-new", "g1*"}}, "g1", ""},
        {"staging cut short",
         {{"backup", "g2"}, {"backup_old", "g1"}, {".backup.hws-staging", "partial"}},
         "g2",
         "g1"},
        {"older version's names without the dot, the kept one there twice",
         {{"backup", "g2"},
          {"backup_old", "g1"},
          {"backup.hws-new", "g3*"},
          {"backup.hws-staging", "partial"},
          {"backup.hws-discard", "g0"},
          {".backup.hws-discard", "g0"}},
         "g3",
         "g2"},
    };
    for (const State& state : states) {
        SCOPED_TRACE(state.what);
        BackupDesk d;
        for (const auto& [name, content] : state.folders) {
            const std::string folder = d.root / name;
            WriteFile(folder + "/.hws-generation", "");
            if (content == "partial") {
                WriteFile(folder + "/001.part.met.HWS", PartMet("g"));
                continue;
            }
            WriteFile(folder + "/001.part.met.HWS", PartMet(content.substr(0, 2)));
            WriteFile(folder + "/002.part.met.HWS", PartMet(content.substr(0, 2)));
            if (content.back() == '*') WriteFile(folder + "/.hws-newest", "");
        }
        d.f().RestorePartFiles();
        d.f().FinishBackgroundWork();
        EXPECT_EQ(d.messages(), Strings{"Restoring *.PART.METs successful !"});
        EXPECT_EQ(ReadFile(d.T + "/001.part.met"), PartMet(state.backup));
        EXPECT_EQ(ReadFile(d.T + "/002.part.met"), PartMet(state.backup));
        EXPECT_EQ(Names(d.B), (Strings{"001.part.met.HWS", "002.part.met.HWS"}));
        if (!state.old.empty()) {
            EXPECT_EQ(ReadFile(d.B + "_old/002.part.met.HWS"), PartMet(state.old));
        }
        Strings expected{"backup", "client", "temp"};
        if (!state.old.empty()) expected.insert(expected.begin() + 1, "backup_old");
        // The generation thrown away stays hidden for the next run to overwrite.
        const auto has = [&](const char* name) { return state.folders.count(name) != 0; };
        const bool thirdKept =
            has(".backup.hws-discard") ||
            ((has(".backup.hws-new") || has("backup.hws-new")) && has("backup_old"));
        if (thirdKept) expected.insert(expected.begin(), ".backup.hws-discard");
        EXPECT_EQ(Names(d.root.path()), expected);
    }
}

TEST(Generations, NoRepairTouchesABackupFolderHoldingOtherThings) {
    BackupDesk d;
    WriteFile(d.B + "_old/001.part.met.HWS", PartMet("g1"));
    WriteFile(d.B + "_old/letter.odt", "mine");  // B missing, but B_old is not the program's
    const std::string complete = d.root / ".backup.hws-new";
    WriteFile(complete + "/001.part.met.HWS", PartMet("g2"));
    WriteFile(complete + "/.hws-newest", "");
    WriteFile(complete + "/.hws-generation", "");
    d.f().RestorePartFiles();
    EXPECT_EQ(d.messages(),
              Strings{"Nothing found to restore !\n\n" + d.f().msg_backupdir_missing + d.B});
    EXPECT_EQ(Names(d.root.path()), (Strings{".backup.hws-new", "backup_old", "client", "temp"}));
}

// A run knows all its copies only when each one written has a trusted record: a copy carried
// over from the previous generation has none, and its size would be missing from the sum.
TEST(Generations, TheStagedCopiesAreKnownOnlyWhenEachHasATrustedRecord) {
    files::CopyRecord trusted;
    trusted.trusted = true;
    trusted.size = 5000;
    const files::CopyRecord carried;
    struct Row {
        const char* what;
        std::vector<std::pair<std::string, files::CopyRecord>> records;
        std::size_t written;
        bool known;
        std::size_t files, bytes, subfolders;
    };
    // clang-format off
    const Row rows[] = {
        {"all recorded", {{"1.HWS", trusted}, {"2.HWS", trusted}}, 2, true, 2, 10000, 0},
        {"one carried over", {{"1.HWS", trusted}, {"2.HWS", carried}}, 2, false, 0, 0, 0},
        {"one left out", {{"1.HWS", trusted}, {"2.HWS", carried}}, 1, true, 1, 5000, 0},
        {"subfolders", {{"A/1.HWS", trusted}, {"A/2.HWS", trusted}, {"B/3.HWS", trusted}}, 3, true, 3, 15000, 2},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        PartFileCopies copies;
        for (const auto& [place, record] : row.records) copies.records.Add(place, record);
        copies.written = row.written;
        const std::optional<StagedCopies> staged = StagedCopiesOf(copies);
        ASSERT_EQ(staged.has_value(), row.known);
        if (!staged) continue;
        EXPECT_EQ(staged->files, row.files);
        EXPECT_EQ(staged->bytes, row.bytes);
        EXPECT_EQ(staged->subfolders, row.subfolders);
    }
}

}  // namespace
}  // namespace hw::test
