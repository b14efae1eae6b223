// What the temp folder and the backups hold, download by download, on the command line: the list
// command, and the part files that a restore of chosen or lost downloads brings back.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/cli_report.h"
#include "app/cli_settings.h"
#include "app/console_services.h"
#include "backup/backup_contents.h"

namespace hw {

// The contents of the settings' folders, read as a restore would find them.
BackupContents ReadContentsOf(const CliSettings& s);

// One line per download (its state, how much is done in the temp folder and in B, or B_old for
// `older`, its size, hash and name) under a header; for --json the rows as an array. Refused
// where the temp folder is missing and no backup exists either. The folders are set.
int List(const CliSettings& s, bool older, Console& console, CliReport& report);

// The places a restore of chosen downloads brings back from B, or B_old for `older`: for each
// argument of `only` the one row it names (a place, a hash in any letter case, or a name:
// exact, then without regard to case), or for `lost` every lost download (see LostPlaces): from
// the newest generation that holds it whole, or for `older` from B_old. Nothing (and each argument
// named) where an argument names no row or several, or a row without a whole copy there.
struct ChosenPlaces {
    bool refused = false;
    std::vector<std::string> places;  // in the rows' order, each once
    // For `lost` without `older`: those that only B_old holds whole, from there in the same run.
    std::vector<std::string> fromOlder;
};
ChosenPlaces ChooseDownloads(const CliSettings& s, const BackupContents& contents,
                             const std::vector<std::string>& only, bool lost, bool older,
                             Console& console);

// The rows at `places`, as list shows them: what a restore of them would bring back.
void ShowDownloads(const CliSettings& s, const BackupContents& contents,
                   const std::vector<std::string>& places, bool older, Console& console);

// That a restore of lost downloads found nothing to bring back.
std::string NothingLostText(const std::string& language);
// That a look at a restore of chosen downloads restored nothing, and how to restore them.
std::string ChosenNeedsYesText(const std::string& language);

}  // namespace hw
