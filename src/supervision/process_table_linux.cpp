#include "supervision/process_table_linux.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "shell/folders.h"

namespace hw {

namespace {

// The kernel keeps at most this many characters of a process name in /proc/PID/comm.
constexpr size_t kCommLength = 15;
constexpr size_t kMaxArguments = 64 * 1024;

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

bool IsPidName(const char* name) {
    if (*name == '\0') return false;
    for (; *name; ++name) {
        if (*name < '0' || *name > '9') return false;
    }
    return true;
}

// Reads a small /proc file, at most about limit bytes. Empty when it cannot be read, for example
// because the process is gone.
std::string ReadProcText(const std::string& path, size_t limit) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string text;
    char buffer[4096];
    while (text.size() < limit) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return text;
}

// The process's arguments, argv[0] first; empty for kernel threads and ended processes.
std::vector<std::string> Arguments(const std::string& processDir) {
    const std::string cmdline = ReadProcText(processDir + "/cmdline", kMaxArguments);
    std::vector<std::string> arguments;
    for (size_t pos = 0; pos < cmdline.size();) {
        const size_t end = std::min(cmdline.find('\0', pos), cmdline.size());
        arguments.push_back(cmdline.substr(pos, end - pos));
        pos = end + 1;
    }
    return arguments;
}

std::string LastElement(const std::string& path, const char* separators) {
    const size_t cut = path.find_last_of(separators);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string ExecutableName(const std::string& processDir) {
    char target[4096];
    const ssize_t n = readlink((processDir + "/exe").c_str(), target, sizeof target);
    if (n <= 0) return {};  // kernel threads, and other users' processes
    std::string path(target, static_cast<size_t>(n));
    static const std::string kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() &&
        path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
        path.resize(path.size() - kDeleted.size());
    }
    return LastElement(path, "/");
}

std::string KernelName(const std::string& processDir) {
    std::string comm = ReadProcText(processDir + "/comm", 64);
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();
    return comm;
}

// A zombie has ended and only waits for its parent; a vanished process counts as ended too.
bool HasEnded(const std::string& processDir) {
    const std::string stat = ReadProcText(processDir + "/stat", 4096);
    // The name in parentheses may hold blanks and ")"; the state follows the last ")".
    const size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) return true;
    const char state = stat[close + 2];
    return state == 'Z' || state == 'X' || state == 'x';
}

// A script started through its "#!" line runs as its interpreter: argv[0] names the interpreter
// and the script's path is the first argument that is no option (the line may add one option).
const std::string* ScriptArgument(const std::vector<std::string>& arguments) {
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i].empty() || arguments[i].front() != '-') return &arguments[i];
    }
    return nullptr;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Shells and interpreters: a process of theirs runs the script that its arguments name.
bool IsInterpreter(const std::string& name) {
    for (const char* shell :
         {"sh", "bash", "dash", "zsh", "ksh", "mksh", "csh", "tcsh", "fish", "busybox", "env"}) {
        if (name == shell) return true;
    }
    for (const char* family : {"python", "perl", "ruby", "node", "php", "lua", "tclsh", "wish"}) {
        if (StartsWith(name, family)) return true;
    }
    return false;
}

// True when the script's "#!" line names `executable` (directly or through env). A relative
// path is the process's own, so it is read through its working folder.
bool NamedInHashBang(const std::string& processDir, const std::string& script,
                     const std::string& executable) {
    const std::string path = script.front() == '/' ? script : processDir + "/cwd/" + script;
    // Never waits: the argument may name a pipe or a device.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    char buffer[256];
    const ssize_t got =
        fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? read(fd, buffer, sizeof buffer) : -1;
    close(fd);
    if (got <= 0) return false;
    const std::string head(buffer, static_cast<size_t>(got));
    if (!StartsWith(head, "#!")) return false;
    const std::string line = head.substr(2, head.find('\n') - 2);
    std::vector<std::string> words;
    for (size_t pos = 0; pos < line.size();) {
        const size_t start = line.find_first_not_of(" \t", pos);
        if (start == std::string::npos) break;
        const size_t end = std::min(line.find_first_of(" \t", start), line.size());
        words.push_back(line.substr(start, end - start));
        pos = end;
    }
    if (words.empty()) return false;
    const std::string program = LastElement(words[0], "/");
    if (program == "env" && words.size() > 1) return LastElement(words[1], "/") == executable;
    return program == executable;
}

bool Matches(const std::string& processDir, const std::string& exeName) {
    const std::string executable = ExecutableName(processDir);
    const std::vector<std::string> arguments = Arguments(processDir);
    if (executable.empty() && arguments.empty()) {
        // The kernel's name is cut, so it can only stand for a name that fits it whole.
        return exeName.size() <= kCommLength && EqualsIgnoringCase(KernelName(processDir), exeName);
    }
    if (EqualsIgnoringCase(executable, exeName)) return true;
    if (arguments.empty()) return false;
    if (EqualsIgnoringCase(LastElement(arguments[0], "/\\"), exeName)) return true;
    // Only an interpreter runs the file it is handed: `tail -f client.exe` is not the client.
    const std::string* script = ScriptArgument(arguments);
    if (!script || !EqualsIgnoringCase(LastElement(*script, "/\\"), exeName)) return false;
    const std::string runner = executable.empty() ? LastElement(arguments[0], "/") : executable;
    return IsInterpreter(runner) || NamedInHashBang(processDir, *script, runner);
}

// The real user id from the "Uid:" line of the process's status; -1 when it cannot be read.
long RealUid(const std::string& processDir) {
    const std::string status = ReadProcText(processDir + "/status", 64 * 1024);
    for (size_t pos = 0; pos < status.size();) {
        const size_t end = std::min(status.find('\n', pos), status.size());
        const std::string line = status.substr(pos, end - pos);
        if (StartsWith(line, "Uid:")) {
            char* rest = nullptr;
            const long uid = std::strtol(line.c_str() + 4, &rest, 10);
            return rest != line.c_str() + 4 && uid >= 0 ? uid : -1;
        }
        pos = end + 1;
    }
    return -1;
}

// HOME of the environment the process was started with; empty when it cannot be read (another
// user's process) or is not set.
std::string EnvironmentHome(const std::string& processDir) {
    const std::string environ = ReadProcText(processDir + "/environ", kMaxArguments * 4);
    for (size_t pos = 0; pos < environ.size();) {
        const size_t end = std::min(environ.find('\0', pos), environ.size());
        if (environ.compare(pos, 5, "HOME=") == 0) return environ.substr(pos + 5, end - pos - 5);
        pos = end + 1;
    }
    return {};
}

// The name and home folder of a user id in the password database; false when it has none.
bool LookUpUser(long uid, std::string& name, std::string& home) {
    std::vector<char> buffer(16 * 1024);
    for (;;) {
        struct passwd entry {};
        struct passwd* found = nullptr;
        const int error =
            getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < 1024 * 1024) {
            buffer.resize(buffer.size() * 4);
            continue;
        }
        if (error != 0 || found == nullptr) return false;
        name = entry.pw_name != nullptr ? entry.pw_name : "";
        home = entry.pw_dir != nullptr ? entry.pw_dir : "";
        return true;
    }
}

ProcessInfo Describe(const std::string& processDir) {
    ProcessInfo process;
    process.pid = std::strtol(LastElement(processDir, "/").c_str(), nullptr, 10);
    process.arguments = Arguments(processDir);
    // The link itself leads to the folder even where it was renamed or lies in another mount
    // namespace; its text would not.
    char target[1];
    if (readlink((processDir + "/cwd").c_str(), target, sizeof target) > 0) {
        process.workingFolder = processDir + "/cwd";
    }
    process.uid = RealUid(processDir);
    std::string userHome;
    if (process.uid >= 0 && !LookUpUser(process.uid, process.user, userHome)) {
        process.user = std::to_string(process.uid);
    }
    const std::string home = EnvironmentHome(processDir);
    process.home = !home.empty() && home.front() == '/' ? home : userHome;
    return process;
}

}  // namespace

LinuxProcessTable::LinuxProcessTable(std::string procRoot) : procRoot_(std::move(procRoot)) {}

template <typename Visit>
void LinuxProcessTable::ForEachMatch(const std::string& exeName, const Visit& visit) {
    if (exeName.empty()) return;
    // A listing cut short leaves out processes, as one that ends meanwhile would.
    files::ForEachEntry(procRoot_, [&](const std::string& name, unsigned char) {
        if (!IsPidName(name.c_str())) return true;
        const std::string processDir = procRoot_ + "/" + name;
        return !(Matches(processDir, exeName) && !HasEnded(processDir)) || visit(processDir);
    });
}

bool LinuxProcessTable::IsProcessRunning(const std::string& exeName) {
    bool found = false;
    ForEachMatch(exeName, [&](const std::string&) { return !(found = true); });
    return found;
}

std::vector<ProcessInfo> LinuxProcessTable::ProcessesOf(const std::string& exeName) {
    std::vector<ProcessInfo> found;
    ForEachMatch(exeName, [&](const std::string& processDir) {
        found.push_back(Describe(processDir));
        return true;
    });
    return found;
}

}  // namespace hw
