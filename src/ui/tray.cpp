#include <string>
#include <utility>
#include <vector>

#include "base/app_title.h"
#include "ui/main_form.h"

namespace hw {

void MainForm::pop_backupClick() {
    // The window's own button shows the result in boxes; behind the icon they would open where
    // the user did not look.
    if (!abfTrayIcon1.visible()) {
        btn_backupClick();
        return;
    }
    std::vector<std::pair<std::string, std::string>> held;
    struct Holding {
        std::vector<std::pair<std::string, std::string>>*& target;
        ~Holding() { target = nullptr; }
    } holding{heldMessages_};
    heldMessages_ = &held;
    btn_backupClick();
    heldMessages_ = nullptr;
    if (held.empty()) return;
    std::string text;
    for (const auto& message : held) text += (text.empty() ? "" : "\n\n") + message.first;
    // The window came back during the run: its boxes then, so that no result goes untold.
    if (abfTrayIcon1.showNotice(kAppTitle, text)) return;
    for (const auto& [line, caption] : held) ShowMessage(line, caption);
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
