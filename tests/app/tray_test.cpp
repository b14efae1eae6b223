#include <gtest/gtest.h>

#include "support/fake_services.h"

namespace hw {
namespace {

TEST(StartMinimized, TheSettingsFileDecidesAtTheFirstTickAndTheTimerNeverFiresAgain) {
    struct Case {
        const char* settings;
        bool checkBox;
        int hidden;
    };
    for (const Case& c :
         {Case{"[GENERAL SETTINGS]\nSTART MINIMIZED=TRUE\n", false, 1},
          Case{"[general settings]\nstart minimized=\"TRUE\"\n", false, 1},
          Case{"[GENERAL SETTINGS]\nSTART MINIMIZED=FALSE\n", true, 0},
          Case{"[GENERAL SETTINGS]\nSTART MINIMIZED=true\n", true, 0}, Case{"", true, 0}}) {
        SCOPED_TRACE(c.settings);
        test::FakeDesktop desk;
        test::LoadFrom(desk, c.settings);
        // A ticked box that was never saved does not count.
        desk.f().cb_startminimized.setChecked(c.checkBox);
        desk.f().timer_mini_on_start.tick();
        EXPECT_EQ(desk.window.hidden, c.hidden);
        EXPECT_EQ(desk.f().abfTrayIcon1.visible(), c.hidden == 1);
        EXPECT_TRUE(desk.f().timer_mini_on_start.destroyed());
        desk.f().timer_mini_on_start.tick();
        EXPECT_EQ(desk.window.hidden, c.hidden);
    }
}

TEST(NotificationArea, MinimizeHidesBehindTheIconAndEveryWayBackRemovesIt) {
    test::FakeDesktop desk;
    MainForm& f = desk.f();
    // The menu's "Restore" and a click on the icon do the same.
    for (const Handler& way :
         {Handler([&] { f.pop_restore.userClick(); }), f.abfTrayIcon1.onClick}) {
        f.btn_minimize.userClick();
        EXPECT_TRUE(f.abfTrayIcon1.visible());
        way();
        EXPECT_FALSE(f.abfTrayIcon1.visible());
    }
    EXPECT_EQ(desk.window.hidden, 2);
    EXPECT_EQ(desk.window.minimized, 0);
    EXPECT_EQ(desk.window.restored, 2);
    EXPECT_TRUE(desk.dialogs.shown.empty());
}

TEST(NotificationArea, WithoutOneMinimiseKeepsTheTaskbarWayBack) {
    test::FakeDesktop desk;
    desk.window.notificationArea = false;
    test::LoadFrom(desk, "[GENERAL SETTINGS]\nSTART MINIMIZED=TRUE\n");
    desk.f().btn_minimize.userClick();
    desk.f().timer_mini_on_start.tick();
    EXPECT_EQ(desk.window.minimized, 2);
    EXPECT_EQ(desk.window.hidden, 0);
    EXPECT_FALSE(desk.f().abfTrayIcon1.visible());
}

}  // namespace
}  // namespace hw
