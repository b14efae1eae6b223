// The one further program that starts with Hoardwise and, when watched, is restarted.
#include "base/paths.h"
#include "ui/main_form.h"

namespace hw {

std::string MainForm::LaunchpadProcessName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void MainForm::cb_lauchpad_startupClick() {
    // The watch box keeps its mark while disabled; the observer ignores a disabled watch.
    const bool on = cb_lauchpad_startup.checked();
    edit_launchpad_path.setEnabled(on);
    btn_browselaunchpad.setEnabled(on);
    cb_lauchpad_watch.setEnabled(on);
    if (on) cb_lauchpad_watchClick();
}

void MainForm::edit_launchpad_pathChange() {
    // The path is not checked here: a failed start says what is wrong.
    SyncRememberedPathText(edit_launchpad_path, launchpad_path_text);
}

void MainForm::btn_browselaunchpadClick() {
    const std::string& path = edit_launchpad_path.text();
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos
                                   ? std::string()
                                   : StripTrailingSeparatorKeepRoot(path.substr(0, slash + 1));
    const std::vector<std::string> chosen = services.dialogs->OpenFiles(OpenDialog1, folder);
    if (chosen.empty()) return;
    launchpad_path_text.en = chosen.front();
    launchpad_path_text.de = chosen.front();
    edit_launchpad_path.setText(chosen.front());
}

}  // namespace hw
