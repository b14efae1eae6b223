#include "shell/background_removal.h"

#include <gtest/gtest.h>

#include "support/fake_services.h"

namespace hw::test {
namespace {

void MakeTree(const std::string& root, int files) {
    for (int i = 0; i < files; ++i) {
        WriteFile(root + "/sub" + std::to_string(i % 3) + "/" + std::to_string(i) + ".HWS", "x");
    }
}

TEST(BackgroundRemoval, EachStartWaitsForTheLastAndTheEndWaitsForAll) {
    TempDir dir;
    MakeTree(dir / "a", 300);
    MakeTree(dir / "b", 300);
    WriteFile(dir / "kept/file", "stays");
    {
        BackgroundRemoval removal;
        removal.Start(dir / "a");
        EXPECT_TRUE(removal.Removes(dir / "a"));
        EXPECT_FALSE(removal.Removes(dir / "b"));
        removal.Start(dir / "b");
        removal.Start(dir / "missing");  // nothing there is no error
        removal.Wait();
        EXPECT_FALSE(removal.Removes(dir / "missing"));
        EXPECT_FALSE(FolderExists(dir / "a"));
        EXPECT_FALSE(FolderExists(dir / "b"));
        MakeTree(dir / "c", 300);
        removal.Start(dir / "c");
    }  // leaving the scope finishes the removal instead of abandoning the thread
    EXPECT_FALSE(FolderExists(dir / "c"));
    EXPECT_EQ(ReadFile(dir / "kept/file"), "stays");
}

}  // namespace
}  // namespace hw::test
