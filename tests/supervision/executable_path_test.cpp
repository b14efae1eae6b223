#include "base/executable_path.h"

#include <gtest/gtest.h>

#include "support/fake_services.h"

namespace hw {
namespace {

TEST(ExecutablePath, NamesThisRunningTestProgram) {
    const std::string path = ExecutablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_NE(path.find("hoardwise_supervision_tests"), std::string::npos);
    EXPECT_TRUE(test::FileExists(path));
}

}  // namespace
}  // namespace hw
