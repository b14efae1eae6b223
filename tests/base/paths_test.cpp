#include "base/paths.h"

#include <gtest/gtest.h>

namespace hw {
namespace {

TEST(FolderPaths, TrailingSeparatorIsAddedOnceAndStrippedOnce) {
    EXPECT_EQ(AddTrailingSeparator(""), "/");
    EXPECT_EQ(AddTrailingSeparator("/a/"), "/a/");
    EXPECT_EQ(AddTrailingSeparator("/opt/e mule"), "/opt/e mule/");
    EXPECT_EQ(AddTrailingSeparator("/opt/eMule/") + "emule.exe", "/opt/eMule/emule.exe");

    EXPECT_EQ(StripTrailingSeparator("/x//"), "/x/");
    EXPECT_EQ(StripTrailingSeparator("/"), "");
    EXPECT_EQ(StripTrailingSeparator(""), "");
    EXPECT_EQ(StripTrailingSeparator("/x"), "/x");
    EXPECT_EQ(StripTrailingSeparator("C:\\x\\"), "C:\\x\\");
}

TEST(FolderPaths, StripKeepingTheRootLeavesSlashAlone) {
    EXPECT_EQ(StripTrailingSeparatorKeepRoot("/"), "/");
    EXPECT_EQ(StripTrailingSeparatorKeepRoot("/opt/emule/"), "/opt/emule");
    EXPECT_EQ(StripTrailingSeparatorKeepRoot(""), "");
}

TEST(FolderPaths, BelowAFolderIsDecidedByWholeElements) {
    struct Case {
        const char* path;
        const char* folder;
        const char* below;  // nullptr: not at or below
    };
    const Case cases[] = {
        {"/home/u/emule/server.met", "/home/u/emule", "server.met"},
        {"/home/u/emule/server.met", "/home/u/emule/", "server.met"},
        {"/home/u/emule/config/x.dat", "/home/u/emule", "config/x.dat"},
        {"/home/u/emule", "/home/u/emule", ""},
        {"/x.met", "/", "x.met"},
        {"/home/u/emule2/x.met", "/home/u/emule", nullptr},
        {"/srv/home/u/emule/x.met", "/home/u/emule", nullptr},
        {"/home/u/x.met", "/home/u/emule", nullptr},
        {"/home/u/emule/../x.met", "/home/u/emule", nullptr},
        {"/home//u/./emule/a/x.met", "/home/u/emule", "a/x.met"},
        {"/home/u/emule/x.met", "/home/u/../u/emule", "x.met"},
        {"/home/u/Emule/x.met", "/home/u/emule", nullptr},
        {"emule/x.met", "emule", nullptr},
        {"/home/u/emule/x.met", "Click Browse to select eDonkey-Client Folder", nullptr},
        {"/home/u/emule/x.met", "", nullptr},
    };
    for (const Case& c : cases) {
        const auto below = PathBelowFolder(c.path, c.folder);
        if (c.below) {
            EXPECT_EQ(below, std::optional<std::string>(c.below)) << c.path << " in " << c.folder;
        } else {
            EXPECT_FALSE(below.has_value()) << c.path << " in " << c.folder;
        }
    }
}

}  // namespace
}  // namespace hw
