#include <exception>
#include <vector>

#include "base/app_title.h"
#include "base/errors.h"
#include "ui/main_form.h"

namespace hw {

void MainForm::FormCreate() {
    holdingProcessLook_ = processLookAfterShow;
    // A minimise into the tray waits for the starts, as it did when they came before the window.
    if (holdingProcessLook_) timer_mini_on_start.setRunning(false);
    LoadSettings();
    LoadLastBackup();
}

void MainForm::FormShown() {
    if (!holdingProcessLook_) return;
    holdingProcessLook_ = false;
    std::vector<Handler> steps;
    steps.swap(afterShow_);
    // Each step on its own: a failed start does not keep the next one from running.
    for (const Handler& step : steps) Dispatch(step);
    // The recognition may have named the client that automatic backups wait for.
    RefreshStatusText();
    timer_mini_on_start.setRunning(true);
}

void MainForm::AfterShow(const Handler& step) {
    if (holdingProcessLook_) {
        afterShow_.push_back(step);
    } else {
        step();
    }
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
    // Whatever comes first finds the load complete (FormShown dispatches each of its steps).
    if (holdingProcessLook_) FormShown();
    try {
        event();
    } catch (const std::exception& error) {
        ReportError(error.what());
    } catch (...) {
        ReportError("Unknown error");
    }
}

}  // namespace hw
