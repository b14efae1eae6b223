// The history of runs as the window lists it: one row a run, newest first, in the words of the
// language shown.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include "backup/run_history.h"

namespace hw {

struct HistoryRow {
    std::time_t when = 0;
    std::string time;  // local, with the date
    std::string kind;  // backup or restore
    std::string mode;  // manual or automatic
    std::size_t files = 0;
    std::size_t damaged = 0;
    bool succeeded = false;
    std::string result;
    std::string message;  // on one line
};

// The columns of the list, in this order.
enum class HistoryColumn { Time, Kind, Mode, Files, Damaged, Result, Message, Count };

struct HistoryView {
    std::string title;
    std::vector<std::string> headings;  // one a HistoryColumn
    std::vector<HistoryRow> rows;       // newest first
    // Shown instead of rows when there are none.
    std::string emptyText;
    // The history file, for a user who wants the file itself, and the words before it.
    std::string path;
    std::string fileLabel;
    // Names for a screen reader: the list and the message of the row chosen.
    std::string listName;
    std::string detailsName;
};

// `runs` newest first, as ReadRunHistory gives them; `code` "EN" or "DE".
HistoryView MakeHistoryView(const std::string& code, const std::vector<RunRecord>& runs,
                            const std::string& path);

}  // namespace hw
