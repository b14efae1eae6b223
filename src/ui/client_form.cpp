// The client folder field: which program in it is the client, asked of the user where none is
// recognised.
#include "base/amule.h"
#include "base/paths.h"
#include "shell/file_copy.h"
#include "supervision/client_choice.h"
#include "supervision/client_recognition.h"
#include "ui/language.h"
#include "ui/main_form.h"

namespace hw {

namespace {

// A model without a window service (a benchmark, say) has no display to start a desktop
// program on.
bool HasDisplay(const Services& services) {
    return services.window != nullptr && services.window->HasDisplay();
}

}  // namespace

void MainForm::edit_clientdirChange() {
    clientQuestionPending_ = false;
    SyncRememberedPathText(edit_clientdir, clientdir_text);
    // The recognition looks at the processes: the load's waits until the window shows.
    AfterShow([this] {
        const ClientRecognition found = RecognizeClient(*services.processes, edit_clientdir.text(),
                                                        clientExe, HasDisplay(services));
        clientExe = found.exe;
        if (!found.unknown) return;
        // A box at a keystroke would take the typing out of the user's hands.
        if (edit_clientdir.typing()) {
            clientQuestionPending_ = true;
        } else {
            AskClientExe();
        }
    });
}

void MainForm::edit_clientdirExit() {
    if (!clientQuestionPending_) return;
    clientQuestionPending_ = false;
    AskClientExe();
}

void MainForm::AskClientExe() {
    ShowMessage(msg_no_client_exe, msg_error_caption);
    const std::vector<std::string> chosen = services.dialogs->OpenFiles(
        OpenDialog3, StripTrailingSeparatorKeepRoot(edit_clientdir.text()));
    if (chosen.empty()) return;
    const std::string& file = chosen.front();
    // Only the name is kept: the client is always started from the client folder.
    clientExe = FileName(file);
    Label12.setCaption(LanguageText(*this, TextId::ClientExePrefix) + clientExe);
}

}  // namespace hw
