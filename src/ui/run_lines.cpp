#include "ui/run_lines.h"

#include <cstdlib>

#include "ui/language.h"
#include "ui/messages.h"
#include "ui/text_tables.h"

namespace hw {

namespace {

std::string ShortTime(std::time_t when, std::time_t now) {
    const bool sameDay = LocalTime(when, "%Y-%m-%d") == LocalTime(now, "%Y-%m-%d");
    return LocalTime(when, sameDay ? "%H:%M" : "%Y-%m-%d %H:%M");
}

// The texts of the status line beyond the shared ones.
enum class StatusText { FailedSince, FailedSinceEnd, NextAutomatic };
// clang-format off
constexpr Bilingual kStatusTexts[] = {
    {"; last run failed at ", "; letzter Lauf um "},
    {": ", " fehlgeschlagen: "},
    {"; next automatic backup at ", "; nächste automatische Sicherung um "},
};
// clang-format on

std::string Text(const std::string& code, StatusText id) {
    return kStatusTexts[static_cast<int>(id)].in(code == "DE" ? Language::German
                                                              : Language::English);
}

// A reason that runs on is cut after a whole word, so that no word reads as another.
constexpr std::size_t kLongestReason = 100;

// The first line of a failure that says more than that the backup failed.
std::string ShortReason(const std::string& message, const std::string& generic) {
    std::size_t start = 0;
    while (start < message.size()) {
        std::size_t end = message.find_first_of("\n|", start);
        if (end == std::string::npos) end = message.size();
        std::string line = message.substr(start, end - start);
        while (!line.empty() && line.front() == ' ') line.erase(line.begin());
        while (!line.empty() && (line.back() == ' ' || line.back() == ':')) line.pop_back();
        if (!line.empty() && line != generic) {
            if (line.size() <= kLongestReason) return line;
            std::size_t cut = line.rfind(' ', kLongestReason);
            if (cut == std::string::npos || cut == 0) {
                // One long word (a path): cut, but not within a character of several bytes.
                cut = kLongestReason;
                while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
            }
            line.resize(cut);
            while (!line.empty() && (line.back() == ' ' || line.back() == ',')) line.pop_back();
            return line + "\u2026";
        }
        start = end + 1;
    }
    return generic;
}

std::string FailureReason(const std::string& code, const RunRecord& run) {
    Messages messages;
    FillMessages(messages, code);
    return ShortReason(run.message, messages.msg_backup_failed);
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

std::string BackupStatusLine(const std::string& code, const BackupRuns& runs, std::time_t now,
                             bool brief, std::time_t nextAutomatic) {
    const std::optional<RunRecord>& shown = runs.succeeded ? runs.succeeded : runs.newest;
    std::string text;
    if (!shown || shown->when == 0) {
        text = LanguageText(code, TextId::LastBackupNone);
    } else {
        text = LanguageText(code, brief ? TextId::LastBackupBrief : TextId::LastBackupPrefix) +
               ShortTime(shown->when, now) + ", ";
        if (!shown->succeeded) {
            text += LanguageText(code, TextId::RunFailedPrefix) + FailureReason(code, *shown);
        } else {
            text += std::to_string(shown->files) + LanguageText(code, TextId::PartFilesSuffix) +
                    ", " + LanguageText(code, TextId::RunSucceeded);
        }
        // A run after the last successful one that did not succeed: the user must not take the
        // successful one for the state of today.
        if (runs.newest && !runs.newest->succeeded && runs.newest->when != 0 &&
            runs.newest->when >= shown->when && shown->succeeded) {
            text += Text(code, StatusText::FailedSince) + ShortTime(runs.newest->when, now) +
                    Text(code, StatusText::FailedSinceEnd) + FailureReason(code, *runs.newest);
        }
    }
    if (nextAutomatic != 0) {
        text += Text(code, StatusText::NextAutomatic) + ShortTime(nextAutomatic, now);
    }
    return text;
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
