// The history of backup and restore runs: one line a run in a text file of the user's state
// folder, for the user to read and for the window to show the last backup of its backup folder.
// Nothing decides by it.
#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace hw {

// One run as the history keeps it.
struct RunRecord {
    std::time_t when = 0;
    bool restore = false;
    bool automatic = false;
    std::size_t files = 0;    // part files copied or restored
    std::size_t damaged = 0;  // damaged part files (kept from an older copy, lost, not restored)
    bool succeeded = false;
    std::string message;  // what the run showed, or would have shown had it been manual
    // The backup folder (see BackupFolderName; empty when it was not set). None in a line of an
    // older version, which counts for no folder: the window does not claim a run of another
    // configuration as the last backup of its own.
    std::optional<std::string> folder;
};

// The newest runs the history keeps.
constexpr std::size_t kHistoryRuns = 1000;

// The time in the local time zone, in strftime's `format`; empty when it cannot be shown.
std::string LocalTime(std::time_t when, const char* format);

// $XDG_STATE_HOME/hoardwise/history.log, by default ~/.local/state/hoardwise/history.log;
// empty when neither is known.
std::string DefaultHistoryFile(const char* stateHome, const std::string& home);
// The text on one line: line breaks become " | ", tabs spaces (fields are separated by tabs and
// runs by line breaks, so neither may stand in a message).
std::string OneLine(const std::string& text);
// The backup folder as the history and the folder lock name it: its full path with links, "."
// and ".." resolved as far as it exists (the rest of a folder not made yet, or on a disk not
// mounted, as written), without a trailing "/". Empty for a text that is no full path.
std::string BackupFolderName(const std::string& folder);
// "2026-12-07T14:21:05+0100<TAB>backup<TAB>manual<TAB>8<TAB>0<TAB>succeeded<TAB>/backup<TAB>
// message", the time local, folder and message on one line, the message cut after 16 KiB (a
// list of damaged files may be long), so that every line the history writes is read back.
std::string FormatRunRecord(const RunRecord& run);
std::optional<RunRecord> ParseRunRecord(const std::string& line);
// How adding a run went. NotAFile: a pipe, device, socket, link or folder stands at the path;
// it was left alone (a pipe would block the run, a link lead elsewhere).
enum class HistoryAppend { Written, NotAFile, Failed };
// Adds the run with one append to a regular file. Once the file holds a tenth more than `keep`
// runs, or a line longer than any run, it is replaced in one step by the newest `keep` runs
// after the last such line, read from the end and copied in chunks. Makes the folder when
// missing. Programs that run side by side add to one history: both steps are done under a lock
// of its folder.
HistoryAppend AppendRunRecord(const std::string& path, const RunRecord& run,
                              std::size_t keep = kHistoryRuns);
// The newest backup runs of `folder` (a BackupFolderName) in the file: the newest that succeeded,
// and the newest of all (the same run when that one succeeded). Looked for only in the file's last
// few megabytes; a line longer than any run is skipped unread.
struct BackupRuns {
    std::optional<RunRecord> succeeded;
    std::optional<RunRecord> newest;
};
BackupRuns LastBackupRuns(const std::string& path, const std::string& folder);
// The newest `most` runs of the file, newest first, read as LastBackupRuns reads; lines that are
// no run are skipped. Empty for a missing file and for anything but a regular file.
std::vector<RunRecord> ReadRunHistory(const std::string& path, std::size_t most = kHistoryRuns);

}  // namespace hw
