#include "settings/autostart_linux.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "base/app_title.h"
#include "settings/atomic_file.h"

namespace hw {

std::string DesktopEntryString(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\r':
                escaped += "\\r";
                break;
            case '\t':
                escaped += "\\t";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string DesktopEntryExecArgument(const std::string& path) {
    // Quoted so that blanks and other reserved characters stay part of the one path; inside the
    // quotes ", `, $ and \ need a backslash, and % is the field-code character.
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    return DesktopEntryString(quoted);
}

LinuxAutostart::LinuxAutostart(std::string executablePath, std::string autostartFolder)
    : executablePath_(std::move(executablePath)), folder_(std::move(autostartFolder)) {}

std::string LinuxAutostart::DefaultFolder() {
    const passwd* user = getpwuid(getuid());
    if (!user || !user->pw_dir || user->pw_dir[0] == '\0') return {};
    return std::string(user->pw_dir) + "/.config/autostart";
}

std::string LinuxAutostart::EntryPath() const {
    return folder_ + "/" + kEntryFileName;
}

bool IsOwnOlderEntry(const std::string& name, const std::string& content) {
    const std::string prefix = "Hoardwise ";
    const std::string suffix = ".desktop";
    if (name.size() <= prefix.size() + suffix.size() ||
        name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    // Exactly the lines this program writes: an entry the user changed is the user's.
    const std::string head = "[Desktop Entry]\nType=Application\nName=Hoardwise ";
    if (content.compare(0, head.size(), head) != 0 || content.back() != '\n') return false;
    const std::size_t nameEnd = content.find('\n', head.size());
    const std::size_t execEnd = content.find('\n', nameEnd + 1);
    if (execEnd == std::string::npos || content.compare(nameEnd + 1, 5, "Exec=") != 0) {
        return false;
    }
    const std::size_t tryEnd = content.find('\n', execEnd + 1);
    return content.compare(execEnd + 1, 8, "TryExec=") == 0 && tryEnd == content.size() - 1;
}

void LinuxAutostart::RemoveOlderEntries() const {
    std::error_code error;
    std::vector<std::string> older;
    for (auto it = std::filesystem::directory_iterator(folder_, error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::string path = it->path().string();
        // Links and other kinds of file are never ours; a large file is not an entry.
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > 65536) {
            continue;
        }
        std::string content;
        if (ReadWholeFile(path, content) &&
            IsOwnOlderEntry(it->path().filename().string(), content)) {
            older.push_back(path);
        }
    }
    for (const std::string& path : older) unlink(path.c_str());
}

std::string LinuxAutostart::EntryText() const {
    return std::string("[Desktop Entry]\n") + "Type=Application\n" + "Name=" + kAppTitle + "\n" +
           "Exec=" + DesktopEntryExecArgument(executablePath_) + "\n" +
           "TryExec=" + DesktopEntryString(executablePath_) + "\n";
}

bool LinuxAutostart::SetAutostart(bool on) {
    if (folder_.empty()) return false;
    if (!on) {
        // An entry left by an older version would still start the program at log-in.
        RemoveOlderEntries();
        return unlink(EntryPath().c_str()) == 0 || errno == ENOENT;
    }
    if (executablePath_.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) return false;
    // The older entry goes only once the new one stands, so that the start is never lost.
    if (!ReplaceFileContent(EntryPath(), EntryText())) return false;
    RemoveOlderEntries();
    return true;
}

}  // namespace hw
