// What the temp folder and the two generations of a backup hold, download by download, and which
// downloads a restore of "only what is lost" brings back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "backup/part_file_info.h"

namespace hw {

// One place's part file of a download: the temp folder's, or a backup copy.
struct PartFileSeen {
    bool present = false;  // a file (of any kind) stands at the place
    bool whole = false;    // a regular file that is a whole part file; `info` is then filled in
    PartFileInfo info;
};

enum class DownloadState {
    Whole,          // the temp folder's part file is whole (and not further along than B's)
    DamagedInTemp,  // the temp folder's part file is there but no whole part file
    MissingInTemp,  // the temp folder has no part file but still the download's data, B has one
    // Neither the part file nor the download's data is in the temp folder, a backup has the part
    // file: the download was finished or removed, and a part file put back would bring it back.
    GoneWithItsData,
    AheadOfBackup,  // whole in the temp folder and further along there than in B
    // Neither the temp folder nor B has its part file, B_old does, and the download's data is
    // still in the temp folder.
    OnlyInOlder,
};

struct DownloadRow {
    // The part file's place below the temp folder, as a restore names it: "001.part.met", or in
    // subfolder mode "Temp1/001.part.met". One row a place.
    std::string place;
    // The facts shown: from the temp folder's whole part file, else B's, else B_old's.
    std::string name;
    std::uint64_t size = 0;
    std::string hash;  // 32 upper-case hex digits; empty when no place holds a whole part file
    PartFileSeen temp, newest, older;
    DownloadState state = DownloadState::Whole;
    // Something stands at the download's data file in the temp folder (the place without
    // ".met"); only looked at where the temp folder has no part file.
    bool dataInTemp = false;
};

struct ContentsRequest {
    // Without trailing separators; `backup` is B. The generations are read where a restore's
    // repair would leave them (PlacesAfterRepair), without repairing anything.
    std::string temp;
    std::string backup;
    std::string client;
    bool subfolders = false;
};

struct BackupContents {
    std::vector<DownloadRow> rows;  // ordered by place
    // The generation folders read; empty when there is none.
    std::string newestFolder;
    std::string olderFolder;
    bool tempMissing = false;  // the temp folder is not there (its rows all read missing)
};

// Reads every part file of the temp folder, B and B_old (in subfolder mode those of their
// immediate subfolders) once. A file gone or changed meanwhile reads as it was found, or as
// missing; nothing is written.
BackupContents ReadBackupContents(const ContentsRequest& request);

// What a restore of "only what is lost" brings back: each download damaged or missing in the
// temp folder, or only in the older backup, from the newest generation that holds it whole (the
// places of B in `newest`, those of B_old in `older`, as RestoreRequest's `only` and
// `onlyFromOlder` take them). Whole part files are left alone, and so is a download gone with
// its data.
struct LostDownloads {
    std::vector<std::string> newest;
    std::vector<std::string> older;
    bool empty() const { return newest.empty() && older.empty(); }
    std::size_t size() const { return newest.size() + older.size(); }
};
LostDownloads LostPlaces(const BackupContents& contents);

// How many part files of the temp folder are further along than their copy in the generation a
// full restore reads (B, or B_old for `older`) and would be set back by it.
std::size_t CountAheadOfBackup(const BackupContents& contents, bool older);

}  // namespace hw
