// A main window on fakes with English texts and three real folders: temp, backup, client.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/child_with_alarm.h"
#include "support/fake_services.h"

namespace hw::test {

// A well-formed part file (a header without part hashes or tags) that ends in `text`, so that
// every file of a test can have content of its own.
inline std::string PartMet(const std::string& text) {
    std::string file(27, '\0');
    file[0] = '\xE0';
    return file + text;
}

struct BackupDesk {
    FakeDesktop desk;
    int pauses = 0;  // before damaged part files are read again
    TempDir root;
    std::string T = root / "temp";
    std::string B = root / "backup";
    std::string C = root / "client";

    BackupDesk() {
        f().ApplyLanguage("EN");
        std::filesystem::create_directories(T);
        // With its client in place the client folder raises no question when it is set.
        WriteFile(C + "/emule.exe", "client program");
        f().edit_tempdir.setText(T);
        f().edit_backupdir.setText(B);
        f().edit_clientdir.setText(C);
        f().clientExe = "emule.exe";
        f().pauseBeforeRereading = [this] { ++pauses; };
    }
    MainForm& f() { return desk.f(); }
    std::vector<std::string> messages() const { return desk.dialogs.messageTexts(); }
    std::vector<std::string> captions() const { return desk.dialogs.messageCaptions(); }
    void subfolderMode() { f().radio_storing_subfolder.setChecked(true); }
};

// The names in a folder, sorted, without the bookkeeping files of a generation (its mark and
// the record of its copies); empty for a missing folder.
inline std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator(folder, error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name != ".hws-generation" && name != ".hws-record") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

using Strings = std::vector<std::string>;

}  // namespace hw::test
