#include "backup/run_history.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "base/paths.h"
#include "settings/atomic_file.h"
#include "settings/settings_location.h"
#include "shell/file_copy.h"
#include "shell/find_files.h"

namespace hw {

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) break;  // a line cut short by a crash is no run
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool ParseCount(const std::string& text, std::size_t& count) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    count = static_cast<std::size_t>(std::strtoull(text.c_str(), nullptr, 10));
    return true;
}

}  // namespace

std::string OneLine(const std::string& text) {
    std::string line;
    for (const char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() != ' ') line += " | ";
        } else {
            line += c == '\t' || c == '\r' ? ' ' : c;
        }
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == '|')) line.pop_back();
    return line;
}

std::string LocalTime(std::time_t when, const char* format) {
    struct tm local {};
    char text[40] = {};
    if (::localtime_r(&when, &local) == nullptr ||
        std::strftime(text, sizeof text, format, &local) == 0) {
        return {};
    }
    return text;
}

std::string DefaultHistoryFile(const char* stateHome, const std::string& home) {
    std::string folder;
    if (stateHome != nullptr && LooksLikeAbsolutePath(stateHome)) {
        folder = stateHome;
    } else if (LooksLikeAbsolutePath(home)) {
        folder = JoinPath(home, ".local/state");
    } else {
        return {};
    }
    return JoinPath(JoinPath(folder, "hoardwise"), "history.log");
}

std::string FormatRunRecord(const RunRecord& run) {
    const std::string when = LocalTime(run.when, "%Y-%m-%dT%H:%M:%S%z");
    if (when.empty()) return {};
    return when + "\t" + (run.restore ? "restore" : "backup") + "\t" +
           (run.automatic ? "automatic" : "manual") + "\t" + std::to_string(run.files) + "\t" +
           std::to_string(run.damaged) + "\t" + (run.succeeded ? "succeeded" : "failed") + "\t" +
           OneLine(run.message);
}

std::optional<RunRecord> ParseRunRecord(const std::string& line) {
    const std::vector<std::string> fields = SplitText(line + "\t", "\t");
    if (fields.size() < 6) return std::nullopt;
    RunRecord run;
    struct tm local {};
    const char* end = ::strptime(fields[0].c_str(), "%Y-%m-%dT%H:%M:%S%z", &local);
    if (end == nullptr || *end != '\0') return std::nullopt;
    run.when = ::timegm(&local) - local.tm_gmtoff;
    if (fields[1] != "backup" && fields[1] != "restore") return std::nullopt;
    run.restore = fields[1] == "restore";
    run.automatic = fields[2] == "automatic";
    if (!ParseCount(fields[3], run.files) || !ParseCount(fields[4], run.damaged)) {
        return std::nullopt;
    }
    run.succeeded = fields[5] == "succeeded";
    if (fields.size() > 6) run.message = fields[6];
    return run;
}

bool AppendRunRecord(const std::string& path, const RunRecord& run, std::size_t keep) {
    const std::string line = FormatRunRecord(run) + "\n";
    if (path.empty() || line.size() < 2) return false;
    CreatePrivateFolders(ParentPath(path));
    // No run takes fewer bytes than this: a file smaller than that many runs is not read.
    constexpr std::size_t kShortestLine = 50;
    struct stat info {};
    const bool mayBeFull =
        ::stat(path.c_str(), &info) == 0 &&
        static_cast<std::size_t>(info.st_size) >= (keep + keep / 10) * kShortestLine;
    std::string text;
    if (mayBeFull && ReadWholeFile(path, text)) {
        std::vector<std::string> lines = Lines(text);
        if (lines.size() + 1 > keep + keep / 10) {
            std::string kept;
            for (std::size_t i = lines.size() + 1 - keep; i < lines.size(); ++i) {
                kept += lines[i] + "\n";
            }
            return ReplaceFileContent(path, kept + line);
        }
    }
    // One write with O_APPEND: a run's line is never mixed with another's.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool written = files::WriteAllBytes(fd, line.data(), line.size());
    return ::close(fd) == 0 && written;
}

std::optional<RunRecord> LastBackupRun(const std::string& path) {
    std::string text;
    if (path.empty() || !ReadWholeFile(path, text)) return std::nullopt;
    const std::vector<std::string> lines = Lines(text);
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        const std::optional<RunRecord> run = ParseRunRecord(*line);
        if (run && !run->restore) return run;
    }
    return std::nullopt;
}

}  // namespace hw
