// Which executable in the client folder is the client. It runs under Wine, so its file keeps its
// Windows name.
#include "backup/find_files.h"
#include "base/paths.h"
#include "ui/language.h"
#include "ui/main_form.h"

namespace hw {

namespace {

// Compared case-sensitively, so the last two are separate names.
const char* const KnownClientExes[] = {"emule.exe", "gdonkey.exe", "edonkey2000.exe", "overnet.exe",
                                       "eMule.exe"};

}  // namespace

void MainForm::edit_clientdirChange() {
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
    if (LooksLikeAbsolutePath(folder)) AskClientExe();
}

void MainForm::AskClientExe() {
    ShowMessage(msg_no_client_exe, msg_error_caption);
    const std::vector<std::string> chosen = services.dialogs->OpenFiles(
        OpenDialog3, StripTrailingSeparatorKeepRoot(edit_clientdir.text()));
    if (chosen.empty()) return;
    const std::string& file = chosen.front();
    // Only the name is kept: the client is always started from the client folder.
    clientExe = file.substr(file.rfind('/') + 1);
    Label12.setCaption(LanguageText(*this, TextId::ClientExePrefix) + clientExe);
}

}  // namespace hw
