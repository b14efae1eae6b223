#include "settings/autostart_linux.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

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
    return folder_ + "/" + kAppTitle + ".desktop";
}

std::string LinuxAutostart::EntryText() const {
    return std::string("[Desktop Entry]\n") + "Type=Application\n" + "Name=" + kAppTitle + "\n" +
           "Exec=" + DesktopEntryExecArgument(executablePath_) + "\n" +
           "TryExec=" + DesktopEntryString(executablePath_) + "\n";
}

bool LinuxAutostart::SetAutostart(bool on) {
    if (folder_.empty()) return false;
    if (!on) return unlink(EntryPath().c_str()) == 0 || errno == ENOENT;
    if (executablePath_.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) return false;
    return ReplaceFileContent(EntryPath(), EntryText());
}

}  // namespace hw
