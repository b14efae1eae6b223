#include "ui/main_form.h"

namespace hw {

void MainForm::pop_backupClick() {
    // The window's own button shows the result in boxes; behind the icon they would open where
    // the user did not look.
    if (!abfTrayIcon1.visible()) {
        btn_backupClick();
        return;
    }
    // A run handed to the worker notes this, and tells its own end as one notice.
    TellAsOneNotice([this] { btn_backupClick(); });
}

void MainForm::btn_minimizeClick() {
    MinimizeIntoNotificationArea();
}

void MainForm::MinimizeIntoNotificationArea() {
    // Hiding the window with no icon to stand for it would leave no way back: without a
    // notification area the taskbar keeps the window reachable.
    if (!services.window->NotificationAreaAvailable()) {
        services.window->MinimizeApplication();
        return;
    }
    services.window->HideApplication();
    abfTrayIcon1.setVisible(true);
}

void MainForm::abfTrayIcon1Click() {
    services.window->RestoreApplication();
    abfTrayIcon1.setVisible(false);
}

void MainForm::timer_mini_on_startTimer() {
    // Destroyed first, so that a failing read cannot leave a 10 ms timer firing forever.
    timer_mini_on_start.destroy();
    if (ReadSetting("GENERAL SETTINGS", "START MINIMIZED") == "TRUE") {
        MinimizeIntoNotificationArea();
    }
}

}  // namespace hw
