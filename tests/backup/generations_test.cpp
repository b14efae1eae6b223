#include "backup/generations.h"

#include <gtest/gtest.h>

#include <map>

#include "backup/backup_fixture.h"

namespace hw::test {
namespace {

// Each state that a run stopped between two of its steps can leave (by this version or by one
// that renamed B to B_old before the new generation to B), as folder suffix -> generation; "*"
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
         {{"_old", "g2"}, {".hws-staging", "g3"}, {".hws-discard", "partial"}},
         "g2",
         ""},
        {"complete, nothing moved yet",
         {{"", "g2"}, {"_old", "g1"}, {".hws-new", "g3*"}},
         "g3",
         "g2"},
        {"B_old set aside", {{"", "g2"}, {".hws-new", "g3*"}, {".hws-discard", "g1"}}, "g3", "g2"},
        {"swapped", {{"", "g3*"}, {".hws-new", "g2"}, {".hws-discard", "partial"}}, "g3", "g2"},
        {"no swap possible, B moved",
         {{"_old", "g2"}, {".hws-new", "g3*"}, {".hws-discard", "g1"}},
         "g3",
         "g2"},
        {"mark not yet removed", {{"", "g3*"}, {"_old", "g2"}}, "g3", "g2"},
        {"first run", {{".hws-new", "g1*"}}, "g1", ""},
        {"staging cut short",
         {{"", "g2"}, {"_old", "g1"}, {".hws-staging", "partial"}},
         "g2",
         "g1"},
    };
    for (const State& state : states) {
        SCOPED_TRACE(state.what);
        BackupDesk d;
        for (const auto& [suffix, content] : state.folders) {
            const std::string folder = d.B + suffix;
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
        const bool thirdKept =
            state.folders.count(".hws-discard") != 0 ||
            (state.folders.count(".hws-new") != 0 && state.folders.count("_old") != 0);
        if (thirdKept) expected.insert(expected.begin() + 1, "backup.hws-discard");
        EXPECT_EQ(Names(d.root.path()), expected);
    }
}

TEST(Generations, NoRepairTouchesABackupFolderHoldingOtherThings) {
    BackupDesk d;
    WriteFile(d.B + "_old/001.part.met.HWS", PartMet("g1"));
    WriteFile(d.B + "_old/letter.odt", "mine");  // B missing, but B_old is not the program's
    WriteFile(d.B + ".hws-new/001.part.met.HWS", PartMet("g2"));
    WriteFile(d.B + ".hws-new/.hws-newest", "");
    WriteFile(d.B + ".hws-new/.hws-generation", "");
    d.f().RestorePartFiles();
    EXPECT_EQ(d.messages(),
              Strings{"Nothing found to restore !\n\n" + d.f().msg_backupdir_missing + d.B});
    EXPECT_EQ(Names(d.root.path()), (Strings{"backup.hws-new", "backup_old", "client", "temp"}));
}

}  // namespace
}  // namespace hw::test
