#include "supervision/paths.h"

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

TEST(FolderPaths, OnlyATextBeginningWithSeparatorLooksAbsolute) {
    EXPECT_TRUE(LooksLikeAbsolutePath("/"));
    EXPECT_TRUE(LooksLikeAbsolutePath("/home/me"));
    EXPECT_FALSE(LooksLikeAbsolutePath(""));
    EXPECT_FALSE(LooksLikeAbsolutePath("home/me"));
    EXPECT_FALSE(LooksLikeAbsolutePath("C:\\eMule"));
}

}  // namespace
}  // namespace hw
