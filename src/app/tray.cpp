#include "ui/main_form.h"

namespace hw {

void MainForm::btn_minimizeClick() {
    // The window service hides the window and shows the notification-area icon.
    services.window->MinimizeApplication();
}

void MainForm::abfTrayIcon1Click() {
    services.window->RestoreApplication();
    abfTrayIcon1.setVisible(false);
}

void MainForm::timer_mini_on_startTimer() {
    // Destroyed first, so that a failing read cannot leave a 10 ms timer firing forever.
    timer_mini_on_start.destroy();
    if (ReadSetting("GENERAL SETTINGS", "START MINIMIZED") == "TRUE") {
        services.window->MinimizeApplication();
    }
}

}  // namespace hw
