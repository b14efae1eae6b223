#include "shell/find_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "backup/backup_fixture.h"
#include "backup/folder_safety.h"
#include "backup/run_support.h"

namespace hw::test {
namespace {

namespace fs = std::filesystem;

TEST(MaskMatching, StarIsAnyRunAndLetterCaseIsIgnored) {
    EXPECT_TRUE(MaskMatches("001.part.met", "*.part.met"));
    EXPECT_TRUE(MaskMatches("006.PART.MET", "*.part.met"));
    EXPECT_TRUE(MaskMatches(".part.met", "*.part.met"));
    EXPECT_TRUE(MaskMatches("a.part.met.part.met", "*.part.met"));
    EXPECT_TRUE(MaskMatches("001.part.met.HWS", "*.part.met.hws"));
    EXPECT_FALSE(MaskMatches("001.part.met.HWS", "*.part.met"));
    EXPECT_FALSE(MaskMatches("001.part.met.bak", "*.part.met"));
    EXPECT_FALSE(MaskMatches("001.part", "*.part.met"));
    EXPECT_TRUE(MaskMatches("anything", "*"));
    EXPECT_TRUE(MaskMatches("ab", "a**b"));
    EXPECT_FALSE(MaskMatches("Ä.part.met", "ä.part.met"));  // only ASCII letters fold
}

TEST(FindFiles, ListsMatchingFilesAndFoldersButNeverDotEntries) {
    TempDir dir;
    WriteFile(dir / "001.part.met", "");
    WriteFile(dir / "002.PART.MET", "");
    WriteFile(dir / "003.part.met.bak", "");
    fs::create_directories(dir / "folder.part.met");
    std::vector<std::string> list{"kept"};
    EXPECT_TRUE(FindFiles(dir.path(), "*.part.met", list));
    std::sort(list.begin(), list.end());
    EXPECT_EQ(list, (Strings{dir / "001.part.met", dir / "002.PART.MET", dir / "folder.part.met",
                             "kept"}));

    std::vector<std::string> all;
    EXPECT_TRUE(FindFiles(dir.path(), "*", all));
    EXPECT_EQ(all.size(), 4u);                            // "." and ".." never match
    EXPECT_EQ(CountFiles(dir.path(), "*.part.met"), 3u);  // what FindFiles lists, counted
    EXPECT_TRUE(AnyMatches(dir.path(), "*.PART.met"));
    EXPECT_FALSE(AnyMatches(dir.path(), "*.dat"));
    EXPECT_EQ(CountFiles(dir / "missing", "*"), 0u);
    std::vector<std::string> none;
    EXPECT_FALSE(FindFiles(dir.path(), "*.dat", none));
    EXPECT_FALSE(FindFiles(dir / "missing", "*", none));
    EXPECT_FALSE(FindFiles("", "*", none));
    EXPECT_TRUE(none.empty());
}

TEST(FindFiles, InSubfoldersSearchesEachImmediateSubfolderOnly) {
    TempDir dir;
    WriteFile(dir / "direct.part.met", "");
    WriteFile(dir / "A/1.part.met", "");
    WriteFile(dir / "A/deep/2.part.met", "");
    WriteFile(dir / "B/readme", "");
    fs::create_directory_symlink(dir / "A", dir / "linkA");
    std::vector<std::string> list;
    EXPECT_TRUE(FindFilesInSubfolders(dir.path(), "*.part.met", list));
    std::sort(list.begin(), list.end());
    EXPECT_EQ(list, (Strings{dir / "A/1.part.met", dir / "linkA/1.part.met"}));

    std::vector<std::string> none;
    EXPECT_FALSE(FindFilesInSubfolders(dir / "B", "*", none));  // no subfolders
    EXPECT_FALSE(FindFilesInSubfolders(dir.path(), "*.dat", none));
    EXPECT_FALSE(FindFilesInSubfolders(dir / "missing", "*", none));
    EXPECT_TRUE(none.empty());
}

TEST(TextHelpers, SplitDropsEmptyPiecesAndContainsCountsCase) {
    EXPECT_EQ(SplitText("/t/Temp1/003.part.met", "/"), (Strings{"t", "Temp1", "003.part.met"}));
    EXPECT_EQ(SplitText("a//b/", "/"), (Strings{"a", "b"}));
    EXPECT_TRUE(SplitText("///", "/").empty());
    EXPECT_EQ(SplitText("a=b", "/"), Strings{"a=b"});
    EXPECT_EQ(SplitText("a;;b", ";;"), (Strings{"a", "b"}));

    EXPECT_TRUE(TextContains("/x/bak", "/x"));
    EXPECT_TRUE(TextContains("/x2", "/x"));
    EXPECT_TRUE(TextContains("anything", ""));
    EXPECT_TRUE(TextContains("", ""));
    EXPECT_FALSE(TextContains("/X/bak", "/x"));
    EXPECT_FALSE(TextContains("/x", "/x/bak"));
}

TEST(RunPaths, FolderTextsJoinsAndAdditionalEntries) {
    EXPECT_EQ(TrimTrailingSeparators("/b/"), "/b");
    EXPECT_EQ(TrimTrailingSeparators("/b///"), "/b");
    EXPECT_EQ(TrimTrailingSeparators("/"), "/");
    EXPECT_EQ(TrimTrailingSeparators(""), "");
    EXPECT_EQ(JoinPath("/", "x"), "/x");
    EXPECT_EQ(JoinPath("/b", "x"), "/b/x");
    EXPECT_EQ(NextToLastElement("/t/Temp1/003.part.met"), "Temp1");
    EXPECT_EQ(LastElement("/t/Temp1/003.part.met"), "003.part.met");
    EXPECT_EQ(LastElement("//t//Temp1//"), "Temp1");
    EXPECT_EQ(NextToLastElement("//t//Temp1//"), "t");
    EXPECT_EQ(NextToLastElement("003.part.met"), "");
    EXPECT_EQ(LastElement("/"), "");

    EXPECT_TRUE(IsSafeExtraEntry("server.met"));
    EXPECT_TRUE(IsSafeExtraEntry("config/x.dat"));
    EXPECT_TRUE(IsSafeExtraEntry("..hidden/x..dat"));
    EXPECT_FALSE(IsSafeExtraEntry(""));
    EXPECT_FALSE(IsSafeExtraEntry("/etc/passwd"));
    EXPECT_FALSE(IsSafeExtraEntry("../x.dat"));
    EXPECT_FALSE(IsSafeExtraEntry("config/../../x.dat"));
}

TEST(FolderSafety, ComparesRealPathsElementByElement) {
    TempDir dir;
    fs::create_directories(dir / "client/temp");
    fs::create_directory_symlink(dir / "client", dir / "link");
    EXPECT_TRUE(IsSameOrAbove(dir / "client", dir / "client/temp"));
    EXPECT_TRUE(IsSameOrAbove(dir / "client/temp", dir / "client/temp"));
    EXPECT_TRUE(IsSameOrAbove(dir / "client/./temp/", dir / "client/temp"));
    EXPECT_TRUE(IsSameOrAbove(dir / "link", dir / "client/temp"));
    EXPECT_TRUE(IsSameOrAbove(dir / "client", dir / "link/temp"));
    EXPECT_TRUE(IsSameOrAbove(dir / "missing/..", dir / "client"));
    EXPECT_TRUE(IsSameOrAbove("/", dir / "client"));
    EXPECT_FALSE(IsSameOrAbove(dir / "client/temp", dir / "client"));
    EXPECT_FALSE(IsSameOrAbove(dir / "cli", dir / "client"));  // text prefix is not a folder
    EXPECT_FALSE(IsSameOrAbove(dir / "client/temp2", dir / "client/temp"));
    EXPECT_TRUE(IsSameOrAbove(dir / "new", dir / "new/sub"));  // missing folders by their text
    EXPECT_FALSE(IsSameOrAbove(dir / "new/sub", dir / "new"));

    EXPECT_TRUE(AnyOverlaps({dir / "x", dir / "client"}, {"", dir / "client/temp"}));
    EXPECT_FALSE(AnyOverlaps({dir / "x", dir / "x_old"}, {"", dir / "client/temp"}));
}

}  // namespace
}  // namespace hw::test
