// The list of additional files: entries relative to the client folder, added from a file dialog
// and removed by selection.
#include <optional>

#include "base/paths.h"
#include "ui/main_form.h"

namespace hw {

namespace {

const char* const kInvalidEntry = "INVALID_DIR";

// The settings file keeps the list as one line with ";" between the entries.
bool Storable(const std::string& entry) {
    return entry.find_first_of(";\n\r") == std::string::npos;
}

// Only a file strictly below the client folder has an entry.
std::optional<std::string> EntryFor(const std::string& file, const std::string& clientDir) {
    std::optional<std::string> entry = PathBelowFolder(file, clientDir);
    if (entry && entry->empty()) return std::nullopt;
    return entry;
}

}  // namespace

std::string MainForm::RelativeToClientDir(const std::string& path) const {
    return EntryFor(path, edit_clientdir.text()).value_or(kInvalidEntry);
}

void MainForm::btn_lb_addClick() {
    const std::vector<std::string> chosen = services.dialogs->OpenFiles(
        OpenDialog2, StripTrailingSeparatorKeepRoot(edit_clientdir.text()));
    std::string outside;
    std::string duplicates;
    std::string unstorable;
    for (const std::string& file : chosen) {
        const std::optional<std::string> entry = EntryFor(file, edit_clientdir.text());
        if (!entry) {
            outside += file + "\n";
        } else if (!Storable(*entry)) {
            unstorable += file + "\n";
        } else if (listbox_files.indexOf(*entry) >= 0) {
            duplicates += file + "\n";
        } else {
            listbox_files.add(*entry);
        }
    }
    // One message at most, the most pressing refusal first.
    if (!duplicates.empty()) {
        ShowMessage(msg_files_already_listed + duplicates, msg_error_caption);
    } else if (!outside.empty()) {
        ShowMessage(msg_files_above_clientdir + outside, msg_error_caption);
    } else if (!unstorable.empty()) {
        ShowMessage(msg_files_unstorable + unstorable, msg_error_caption);
    }
}

void MainForm::btn_lb_removeClick() {
    for (int i = listbox_files.count() - 1; i >= 0; --i) {
        if (listbox_files.selected(i)) listbox_files.remove(i);
    }
}

}  // namespace hw
