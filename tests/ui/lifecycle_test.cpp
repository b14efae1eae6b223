#include <gtest/gtest.h>

#include "base/errors.h"
#include "support/fake_services.h"

namespace hw {
namespace {

using test::Shown;

TEST(GeneralErrorReport, AddsAFullStopOnlyAfterCharactersSortingAfterTheDot) {
    EXPECT_EQ(WithFullStop("disk full"), "disk full.");
    EXPECT_EQ(WithFullStop("code 5"), "code 5.");
    EXPECT_EQ(WithFullStop("really?"), "really?.");
    EXPECT_EQ(WithFullStop("done."), "done.");
    EXPECT_EQ(WithFullStop("stop!"), "stop!");
    EXPECT_EQ(WithFullStop("(see above)"), "(see above)");
    EXPECT_EQ(WithFullStop("Größe ü"), "Größe ü.");
    EXPECT_EQ(WithFullStop(""), "");
}

TEST(GeneralErrorReport, EscapingErrorIsShownAndTheHandlerStopsWhereItWas) {
    test::FakeDesktop desk;
    bool afterThrow = false;
    desk.f().Dispatch([&] {
        desk.f().clientExe = "before.exe";
        throw HandlerError("nach /x/hoardwise.INI kann nicht geschrieben werden");
        afterThrow = true;
    });
    ASSERT_EQ(desk.dialogs.shown.size(), 1u);
    EXPECT_EQ(desk.dialogs.shown[0].kind, Shown::Kind::ErrorReport);
    EXPECT_EQ(desk.dialogs.shown[0].caption, "Hoardwise 2.11");
    EXPECT_EQ(desk.dialogs.shown[0].text, "nach /x/hoardwise.INI kann nicht geschrieben werden.");
    EXPECT_FALSE(afterThrow);
    EXPECT_EQ(desk.f().clientExe, "before.exe");  // what it did before stays done
}

TEST(ExitCommand, OnlyYesEndsTheProgramAndTheQuestionIsAskedOnce) {
    for (bool answer : {false, true}) {
        test::FakeDesktop desk;
        desk.f().msg_confirm_close = "Close Hoardwise ?";
        desk.dialogs.answers = {answer};
        desk.f().btn_exit.userClick();
        EXPECT_EQ(desk.dialogs.count(Shown::Kind::Question), 1);
        EXPECT_EQ(desk.dialogs.shown[0].text, "Close Hoardwise ?");
        EXPECT_EQ(desk.window.quitRequests, answer ? 1 : 0);
    }
    test::FakeDesktop escaped;  // Escape: no answer scripted counts as No
    escaped.f().pop_exit.userClick();
    EXPECT_EQ(escaped.window.quitRequests, 0);
}

TEST(CloseRequest, RefusedUnlessYesAndAllowedSilentlyWhenTheSessionEnds) {
    test::FakeDesktop desk;
    bool allow = true;
    desk.f().FormClose(allow);  // Escape
    EXPECT_FALSE(allow);
    desk.dialogs.answers = {false};
    desk.f().FormClose(allow);
    EXPECT_FALSE(allow);
    desk.dialogs.answers = {true};
    desk.f().FormClose(allow);
    EXPECT_TRUE(allow);
    EXPECT_EQ(desk.dialogs.count(Shown::Kind::Question), 3);
    EXPECT_EQ(desk.window.quitRequests, 0);  // the close itself ends the program

    // Only a close while the session really ends goes without asking; once the session goes
    // on, the close button asks again.
    test::FakeDesktop ending;
    ending.window.sessionEnding = true;
    allow = false;
    ending.f().FormClose(allow);
    EXPECT_TRUE(allow);
    EXPECT_TRUE(ending.dialogs.shown.empty());
    ending.window.sessionEnding = false;
    ending.f().FormClose(allow);
    EXPECT_FALSE(allow);
    EXPECT_EQ(ending.dialogs.count(Shown::Kind::Question), 1);
}

}  // namespace
}  // namespace hw
