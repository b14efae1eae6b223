#include "ui/run_lines.h"

#include <cstdlib>

#include "ui/language.h"
#include "ui/messages.h"

namespace hw {

namespace {

std::string ShortTime(std::time_t when, std::time_t now) {
    const bool sameDay = LocalTime(when, "%Y-%m-%d") == LocalTime(now, "%Y-%m-%d");
    return LocalTime(when, sameDay ? "%H:%M" : "%Y-%m-%d %H:%M");
}

// The first line of a failure that says more than that the backup failed.
std::string ShortReason(const std::string& message, const std::string& generic) {
    std::size_t start = 0;
    while (start < message.size()) {
        std::size_t end = message.find_first_of("\n|", start);
        if (end == std::string::npos) end = message.size();
        std::string line = message.substr(start, end - start);
        while (!line.empty() && line.front() == ' ') line.erase(line.begin());
        while (!line.empty() && (line.back() == ' ' || line.back() == ':')) line.pop_back();
        if (!line.empty() && line != generic)
            return line.size() > 100 ? line.substr(0, 97) + "..." : line;
        start = end + 1;
    }
    return generic;
}

}  // namespace

std::string RunRecordLine(const std::string& code, const RunRecord& run) {
    std::string line =
        LanguageText(code, run.restore ? TextId::RunLineRestore : TextId::RunLineBackup);
    if (run.automatic) line += LanguageText(code, TextId::RunLineAutomatic);
    line += ": ";
    if (!run.succeeded) {
        return line + LanguageText(code, TextId::RunFailedPrefix) + OneLine(run.message);
    }
    line += std::to_string(run.files) + LanguageText(code, TextId::PartFilesSuffix);
    if (run.damaged > 0) {
        line += ", " + std::to_string(run.damaged) + LanguageText(code, TextId::DamagedSuffix);
    }
    return line + ", " + LanguageText(code, TextId::RunSucceeded);
}

std::string LastBackupLine(const std::string& code, const std::optional<RunRecord>& run,
                           std::time_t now, bool brief) {
    if (!run || run->when == 0) return LanguageText(code, TextId::LastBackupNone);
    std::string text =
        LanguageText(code, brief ? TextId::LastBackupBrief : TextId::LastBackupPrefix) +
        ShortTime(run->when, now) + ", ";
    if (!run->succeeded) {
        Messages messages;
        FillMessages(messages, code);
        return text + LanguageText(code, TextId::RunFailedPrefix) +
               ShortReason(run->message, messages.msg_backup_failed);
    }
    return text + std::to_string(run->files) + LanguageText(code, TextId::PartFilesSuffix) + ", " +
           LanguageText(code, TextId::RunSucceeded);
}

std::string UserHistoryFile() {
    const char* home = std::getenv("HOME");
    return DefaultHistoryFile(std::getenv("XDG_STATE_HOME"), home != nullptr ? home : "");
}

RecordedRun RecordRun(const std::string& history, const std::string& code, const RunRecord& run) {
    // The history is for reading; a run is not failed for a line that could not be written.
    const HistoryAppend appended = AppendRunRecord(history, run);
    RecordedRun recorded{RunRecordLine(code, run), ""};
    if (appended == HistoryAppend::NotAFile) {
        recorded.notAFile = LanguageText(code, TextId::HistoryNotAFile) + history;
    }
    return recorded;
}

}  // namespace hw
