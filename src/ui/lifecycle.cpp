#include <exception>

#include "base/app_title.h"
#include "base/errors.h"
#include "ui/main_form.h"

namespace hw {

void MainForm::FormCreate() {
    LoadSettings();
    LoadLastBackup();
}

void MainForm::btn_exitClick() {
    if (!services.dialogs->AskYesNo(msg_confirm_close)) return;
    // A failed save raises before the quit request, so the program keeps running.
    SaveSettings();
    services.window->Quit();
}

void MainForm::FormClose(bool& allowClose) {
    if (services.window->SessionEnding()) {
        allowClose = true;
        return;
    }
    allowClose = false;
    if (!services.dialogs->AskYesNo(msg_confirm_close)) return;
    SaveSettings();
    allowClose = true;
}

void MainForm::ReportError(const std::string& text) {
    services.dialogs->ShowErrorReport(WithFullStop(text), kAppTitle);
}

void MainForm::Dispatch(const Handler& event) {
    try {
        event();
    } catch (const std::exception& error) {
        ReportError(error.what());
    } catch (...) {
        ReportError("Unknown error");
    }
}

}  // namespace hw
