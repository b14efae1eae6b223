#include <gtest/gtest.h>

#include "backup/backup_fixture.h"
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

// Behind the icon the tray's backup tells its result, good or bad, as a notice; from a shown
// window it keeps the boxes. Rows: window hidden, a part file to back up.
TEST(NotificationArea, TrayBackupTellsItsResultAsANoticeOnlyWhileTheWindowIsHidden) {
    for (const auto& [hidden, part] : {std::pair{true, true}, {true, false}, {false, true}}) {
        test::BackupDesk d;
        if (part) test::WriteFile(d.T + "/001.part.met", test::PartMet("1"));
        if (hidden) d.f().btn_minimize.userClick();
        d.f().Dispatch([&] { d.f().pop_backup.userClick(); });
        const std::string result =
            part ? "Backing up *.PART.METs successful !" : "No PART.METs found to back up !";
        EXPECT_EQ(d.messages(), hidden ? test::Strings{} : test::Strings{result});
        EXPECT_EQ(d.f().abfTrayIcon1.noticeText(), hidden ? result : "");
        // Nothing is held back afterwards: the window's button opens its box.
        d.f().btn_backupClick();
        EXPECT_EQ(d.messages().size(), hidden ? 1u : 2u);
    }
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
