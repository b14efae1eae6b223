#include "backup/backup_contents.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/fake_services.h"
#include "support/odd_files.h"
#include "support/part_file_bytes.h"

namespace hw::test {
namespace {

// What stands at a place: '-' nothing, 'w' the download with 400 of 1000 bytes done, 'a' the
// same further along (800 done), 'x' another download, 'd' a damaged file, 'p' a pipe, 'l' a
// link to a whole part file.
void Put(char kind, const std::string& path) {
    auto download = [](char hash, std::uint64_t gap) {
        return PartFile(std::string(16, hash), {NameTag(std::string("dl-") + hash), SizeTag(1000),
                                                Gap(0, 1000 - gap, 1000)});
    };
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    switch (kind) {
        case 'w':
            WriteFile(path, download('A', 600));
            break;
        case 'a':
            WriteFile(path, download('A', 200));
            break;
        case 'x':
            WriteFile(path, download('X', 0));
            break;
        case 'd':
            WriteFile(path, "\xE0 cut short");
            break;
        case 'p':
            ASSERT_TRUE(MakeSpecial("pipe", path));
            break;
        case 'l':
            WriteFile(path + ".target", download('A', 600));
            ASSERT_EQ(::symlink((path + ".target").c_str(), path.c_str()), 0);
            break;
        default:
            break;
    }
}

TEST(BackupContents, TellsEachDownloadsStateAndWhatARestoreWouldBringBackOrSetBack) {
    struct Case {
        // The temp folder's, B's and B_old's file, as Put names them; an 'x' after them: the
        // download's data is not in the temp folder either.
        const char* places;
        DownloadState state;
        const char* shown;  // the name shown
        char lost;  // brought back by a restore of what is lost: from 'n'ewest, 'o'lder, or '-'
        std::size_t aheadOfNewest, aheadOfOlder;
    };
    // clang-format off
    const Case cases[] = {
        {"www", DownloadState::Whole,         "dl-A", '-', 0, 0},
        {"wd-", DownloadState::Whole,         "dl-A", '-', 0, 0},
        {"xa-", DownloadState::Whole,         "dl-X", '-', 1, 0},  // another download took the place
        {"aww", DownloadState::AheadOfBackup, "dl-A", '-', 1, 1},
        {"a-w", DownloadState::Whole,         "dl-A", '-', 0, 1},
        {"dww", DownloadState::DamagedInTemp, "dl-A", 'n', 0, 0},
        {"d-w", DownloadState::DamagedInTemp, "dl-A", 'o', 0, 0},
        {"pw-", DownloadState::DamagedInTemp, "dl-A", 'n', 0, 0},
        {"lw-", DownloadState::DamagedInTemp, "dl-A", 'n', 0, 0},
        {"-w-", DownloadState::MissingInTemp, "dl-A", 'n', 0, 0},
        {"-dw", DownloadState::MissingInTemp, "dl-A", 'o', 0, 0},
        {"-w-x", DownloadState::GoneWithItsData, "dl-A", '-', 0, 0},  // finished or removed
        {"--wx", DownloadState::GoneWithItsData, "dl-A", '-', 0, 0},
        {"--w", DownloadState::OnlyInOlder,   "dl-A", 'o', 0, 0},
        {"--p", DownloadState::OnlyInOlder,   "",     '-', 0, 0},
    };
    // clang-format on
    for (const bool subfolders : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.places) + (subfolders ? " in subfolders" : ""));
            TempDir dir;
            const std::string place = subfolders ? "Temp1/001.part.met" : "001.part.met";
            std::filesystem::create_directories(dir / "temp");
            Put(c.places[0], dir / "temp/" + place);
            // The download's data, unless the row says 'x'.
            if (c.places[3] != 'x')
                WriteFile(dir / "temp/" + place.substr(0, place.size() - 4), "");
            Put(c.places[1], dir / "backup/" + place + ".HWS");
            Put(c.places[2], dir / "backup_old/" + place + ".HWS");
            const BackupContents contents =
                ReadBackupContents({dir / "temp", dir / "backup", dir / "client", subfolders});
            ASSERT_EQ(contents.rows.size(), 1u);
            const DownloadRow& row = contents.rows[0];
            EXPECT_EQ(row.place, place);
            EXPECT_EQ(row.state, c.state);
            EXPECT_EQ(row.name, c.shown);
            EXPECT_EQ(row.size, *c.shown ? 1000u : 0u);
            EXPECT_EQ(row.temp.present, c.places[0] != '-');
            EXPECT_EQ(row.newest.whole, c.places[1] == 'w' || c.places[1] == 'a');
            const LostDownloads lost = LostPlaces(contents);
            EXPECT_EQ(lost.newest,
                      c.lost == 'n' ? std::vector<std::string>{place} : std::vector<std::string>{});
            EXPECT_EQ(lost.older,
                      c.lost == 'o' ? std::vector<std::string>{place} : std::vector<std::string>{});
            EXPECT_EQ(CountAheadOfBackup(contents, false), c.aheadOfNewest);
            EXPECT_EQ(CountAheadOfBackup(contents, true), c.aheadOfOlder);
        }
    }
}

TEST(BackupContents, AMissingTempFolderListsTheBackupAsMissingInPlaceOrder) {
    TempDir dir;
    for (const char* name : {"002", "001", "010"})
        Put('w', dir / "backup/" + name + ".part.met.HWS");
    Put('w', dir / "backup/~hws_xtra/server.met");
    const BackupContents contents =
        ReadBackupContents({dir / "temp", dir / "backup", dir / "client", false});
    EXPECT_TRUE(contents.tempMissing);
    EXPECT_EQ(contents.newestFolder, dir / "backup");
    EXPECT_EQ(contents.olderFolder, "");
    EXPECT_EQ(LostPlaces(contents).newest,
              (std::vector<std::string>{"001.part.met", "002.part.met", "010.part.met"}));
    EXPECT_EQ(contents.rows[0].hash, "41414141414141414141414141414141");
    EXPECT_EQ(contents.rows[0].newest.info.done, 400u);
    EXPECT_FALSE(std::filesystem::exists(dir / "temp"));  // nothing is written
}

}  // namespace
}  // namespace hw::test
