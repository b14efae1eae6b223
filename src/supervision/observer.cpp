// Every 10 seconds: restart the watched client and AppRunner program when no process of their
// name is left, then bring the auto-backup period in line with the minutes field.
#include "base/paths.h"
#include "ui/main_form.h"

namespace hw {

void MainForm::timer_observerTimer() {
    if (cb_watchclient.checked() && !IsClientRunning()) {
        LaunchClient();
        BringMainWindowToFront();
    }
    if (cb_lauchpad_watch.checked() && cb_lauchpad_watch.enabled() &&
        !IsProcessRunning(LaunchpadProcessName(edit_launchpad_path.text()))) {
        LaunchProgram(edit_launchpad_path.text(), false);
        BringMainWindowToFront();
    }
    SyncAutobackupInterval();
}

}  // namespace hw
