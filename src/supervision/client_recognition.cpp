// Which program in the client folder is the client: a Windows client under Wine, whose file
// keeps its Windows name, or aMule, by its programs or by its configuration folder.
#include "base/amule.h"
#include "base/paths.h"
#include "shell/file_copy.h"
#include "shell/find_files.h"
#include "ui/language.h"
#include "ui/main_form.h"

namespace hw {

namespace {

// Compared case-sensitively, so the last two are separate names.
const char* const KnownClientExes[] = {"emule.exe", "gdonkey.exe", "edonkey2000.exe", "overnet.exe",
                                       "eMule.exe"};

}  // namespace

void MainForm::edit_clientdirChange() {
    clientQuestionPending_ = false;
    SyncRememberedPathText(edit_clientdir, clientdir_text);
    const std::string folder = edit_clientdir.text();
    std::vector<std::string> entries;
    FindFiles(folder, "*.exe", entries);
    // The test looks at the whole entry, folder included; the name met last wins.
    bool found = false;
    for (const std::string& entry : entries) {
        for (const char* name : KnownClientExes) {
            if (TextContains(entry, name)) {
                clientExe = name;
                found = true;
            }
        }
        if (!clientExe.empty() && TextContains(entry, clientExe)) found = true;
    }
    if (found) return;
    const bool amule = HoldsExecutable(folder, kAmule);
    const bool amuled = HoldsExecutable(folder, kAmuled);
    if (amule || amuled || IsAmuleConfigFolder(folder)) {
        ChooseAmuleProgram(folder, amule, amuled);
        return;
    }
    // A program the user chose (or the settings file names) that is there still.
    if (!clientExe.empty() &&
        (HoldsExecutable(folder, clientExe) || !FindOnPath(clientExe).empty())) {
        return;
    }
    if (!LooksLikeAbsolutePath(folder) || !files::IsFolder(folder)) return;
    // A box at a keystroke would take the typing out of the user's hands.
    if (edit_clientdir.typing()) {
        clientQuestionPending_ = true;
    } else {
        AskClientExe();
    }
}

void MainForm::ChooseAmuleProgram(const std::string& folder, bool amule, bool amuled) {
    // A configuration folder is served by either program from PATH; the programs of a folder
    // serve the user's own configuration.
    const bool configuration = !amule && !amuled;
    const std::string served =
        configuration ? StripTrailingSeparatorKeepRoot(folder) : DefaultAmuleConfigFolder();
    const std::string running = AmuleRunningOn(served, false);
    if (!running.empty()) {
        clientExe = running;
        return;
    }
    if ((clientExe == kAmule && (configuration || amule)) ||
        (clientExe == kAmuled && (configuration || amuled))) {
        return;  // the user's choice
    }
    const bool hasAmule = configuration ? !FindOnPath(kAmule).empty() : amule;
    const bool hasAmuled = configuration ? !FindOnPath(kAmuled).empty() : amuled;
    if (hasAmule != hasAmuled) {
        clientExe = hasAmule ? kAmule : kAmuled;
    } else {
        // Without a display the desktop program could not even start.
        clientExe = services.window->HasDisplay() ? kAmule : kAmuled;
    }
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
