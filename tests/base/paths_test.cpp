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

}  // namespace
}  // namespace hw
