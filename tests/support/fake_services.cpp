#include "support/fake_services.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace hw::test {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

void FakeDialogs::runWhileOpen() {
    if (whileOpen) {
        auto nested = whileOpen;
        nested();
    }
}

void FakeDialogs::ShowMessage(const std::string& text, const std::string& caption) {
    shown.push_back({Shown::Kind::Message, text, caption});
    runWhileOpen();
}

void FakeDialogs::ShowErrorReport(const std::string& text, const std::string& caption) {
    shown.push_back({Shown::Kind::ErrorReport, text, caption});
    runWhileOpen();
}

bool FakeDialogs::AskYesNo(const std::string& question) {
    shown.push_back({Shown::Kind::Question, question, "Bestätigung"});
    runWhileOpen();
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

Choice FakeDialogs::AskYesNoOr(const std::string& question, const std::string& extra) {
    shown.push_back({Shown::Kind::Question, question, "Bestätigung", extra});
    runWhileOpen();
    if (!choices.empty()) {
        const Choice choice = choices.front();
        choices.pop_front();
        return choice;
    }
    if (answers.empty()) return Choice::No;
    const bool yes = answers.front();
    answers.pop_front();
    return yes ? Choice::Yes : Choice::No;
}

std::vector<std::string> FakeDialogs::OpenFiles(const OpenDialog& dialog,
                                                const std::string& initialFolder) {
    shown.push_back({Shown::Kind::OpenFiles, dialog.title, initialFolder});
    runWhileOpen();
    if (fileAnswers.empty()) return {};
    auto files = fileAnswers.front();
    fileAnswers.pop_front();
    return files;
}

std::string FakeDialogs::BrowseFolder(const FolderBrowse& dialog) {
    shown.push_back({Shown::Kind::BrowseFolder, dialog.caption, dialog.selection});
    runWhileOpen();
    if (folderAnswers.empty()) return {};
    auto folder = folderAnswers.front();
    folderAnswers.pop_front();
    return folder;
}

std::vector<std::string> FakeDialogs::messageTexts() const {
    std::vector<std::string> texts;
    for (const Shown& s : shown) {
        if (s.kind == Shown::Kind::Message) texts.push_back(s.text);
    }
    return texts;
}

std::vector<std::string> FakeDialogs::messageCaptions() const {
    std::vector<std::string> captions;
    for (const Shown& s : shown) {
        if (s.kind == Shown::Kind::Message) captions.push_back(s.caption);
    }
    return captions;
}

int FakeDialogs::count(Shown::Kind kind) const {
    return static_cast<int>(std::count_if(shown.begin(), shown.end(),
                                          [kind](const Shown& s) { return s.kind == kind; }));
}

bool FakeProcessTable::IsProcessRunning(const std::string& exeName) {
    ++queries;
    if (exeName.empty()) return false;
    const std::string wanted = Lower(exeName);
    return std::any_of(running.begin(), running.end(),
                       [&](const std::string& name) { return Lower(name) == wanted; }) ||
           std::any_of(described.begin(), described.end(), [&](const ProcessInfo& process) {
               return !process.arguments.empty() && Lower(process.arguments[0]) == wanted;
           });
}

std::vector<ProcessInfo> FakeProcessTable::ProcessesOf(const std::string& exeName) {
    std::vector<ProcessInfo> found;
    ++queries;
    const std::string wanted = Lower(exeName);
    const bool ours = std::any_of(running.begin(), running.end(),
                                  [&](const std::string& name) { return Lower(name) == wanted; });
    std::vector<std::vector<std::string>> ownArguments;
    for (const auto& process : arguments) {
        if (ours && !process.empty() && Lower(process[0]) == wanted) {
            ownArguments.push_back(process);
        }
    }
    if (ours && ownArguments.empty()) ownArguments.push_back({exeName});
    const char* home = std::getenv("HOME");
    for (const auto& process : ownArguments) {
        ProcessInfo info;
        info.pid = 1000 + static_cast<long>(found.size());
        info.uid = static_cast<long>(::getuid());
        info.user = "tester";
        info.arguments = process;
        info.workingFolder = fs::current_path().string();
        info.home = home != nullptr ? home : "";
        found.push_back(info);
    }
    for (const ProcessInfo& process : described) {
        if (!process.arguments.empty() && Lower(process.arguments[0]) == wanted) {
            found.push_back(process);
        }
    }
    return found;
}

bool FakeStarter::StartProgram(const std::string& commandLine,
                               const std::vector<std::string>& arguments) {
    std::string line = commandLine;
    for (const std::string& argument : arguments) line += " " + argument;
    started.push_back(line);
    if (succeed && watched) endings.push_back(std::make_shared<Ending>());
    return succeed;
}

std::unique_ptr<EndWatch> FakeStarter::TakeEndWatch() {
    struct Watch : EndWatch {
        std::shared_ptr<Ending> ending;
        int index;
        Watch(std::shared_ptr<Ending> e, int i) : ending(std::move(e)), index(i) {}
        int descriptor() const override { return index; }
        bool Ended() const override { return ending->ended; }
        std::optional<int> ExitStatus() const override { return ending->status; }
    };
    if (!succeed || !watched || endings.empty()) return nullptr;
    return std::make_unique<Watch>(endings.back(), static_cast<int>(endings.size()) - 1);
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "hoardwise-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests make folders read-only; give the write bits back so everything can go. Only real
    // folders: a mode change follows a link, and a test's link may lead out of its folder.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        std::error_code kind;
        if (it->is_directory(kind) && !it->is_symlink(kind)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool FileExists(const std::string& path) {
    return fs::is_regular_file(path);
}
bool FolderExists(const std::string& path) {
    return fs::is_directory(path);
}

FakeDesktop::FakeDesktop(const std::string& executablePath) {
    Services s = services();
    s.executablePath = executablePath.empty() ? home / "hoardwise" : executablePath;
    form = std::make_unique<MainForm>(s);
    form->historyFile = home / "history.log";
    // Tests write part files right before each run: their second read need not wait.
    form->abfFileOperation1.waitBeforeSecondRead = [](const std::string&) {};
}

Services FakeDesktop::services() {
    Services s;
    s.dialogs = &dialogs;
    s.processes = &processes;
    s.starter = &starter;
    s.window = &window;
    s.autostart = &autostart;
    return s;
}

void LoadFrom(FakeDesktop& desk, const std::string& settingsText) {
    WriteFile(desk.f().SettingsFilePath(), settingsText);
    desk.f().FormCreate();
}

}  // namespace hw::test
