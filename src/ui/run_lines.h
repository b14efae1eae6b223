// The lines that tell of past runs, in a language by its code ("EN", "DE"): for the window and
// for the command line.
#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "backup/run_history.h"

namespace hw {

// "Backup (automatic): 8 part files, 1 damaged, successful", or "Backup: failed: " and what
// the run showed.
std::string RunRecordLine(const std::string& code, const RunRecord& run);

// The line about a backup folder's runs: its last successful backup (none yet, where there is
// none), and a later run that failed or was refused beside it, with its short reason; then,
// where `nextAutomatic` is set, when the schedule backs up next. `brief` for the page, where the
// heading says what it is about; the day is left out for a run of the day of `now`.
std::string BackupStatusLine(const std::string& code, const BackupRuns& runs, std::time_t now,
                             bool brief = false, std::time_t nextAutomatic = 0);

// The history file of this user: $XDG_STATE_HOME/hoardwise/history.log, or below HOME.
std::string UserHistoryFile();

// A run added to the history: its line, and where the history is no regular file (the run is
// then not kept), the warning that says so.
struct RecordedRun {
    std::string line;
    std::string notAFile;
};
RecordedRun RecordRun(const std::string& history, const std::string& code, const RunRecord& run);

}  // namespace hw
