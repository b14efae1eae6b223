#include "backup/backup_contents.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <utility>

#include "backup/generation_summary.h"
#include "backup/run_support.h"
#include "base/paths.h"
#include "shell/file_system_facts.h"
#include "shell/find_files.h"
#include "shell/parallel.h"

namespace hw {

namespace {

// The place of every part-file copy of a generation, and the copy's path.
std::vector<std::pair<std::string, std::string>> GenerationCopies(const std::string& folder,
                                                                  bool subfolders) {
    std::vector<std::pair<std::string, std::string>> copies;
    if (folder.empty()) return copies;
    std::vector<std::string> found;
    subfolders ? FindFilesInSubfolders(folder, kBackupFileMask, found)
               : FindFiles(folder, kBackupFileMask, found);
    const std::size_t suffix = std::string(kBackupSuffix).size();
    for (std::string& path : found) {
        std::string place = LastElement(path);
        place.resize(place.size() - suffix);
        if (subfolders) place = NextToLastElement(path) + "/" + place;
        copies.emplace_back(std::move(place), std::move(path));
    }
    return copies;
}

// Only a regular file is opened: a pipe would block, a device may do something when opened.
PartFileSeen See(const std::string& path) {
    PartFileSeen seen;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return seen;
    seen.present = true;
    if (!S_ISREG(info.st_mode)) return seen;
    if (std::optional<PartFileInfo> read = ReadPartFileInfoAt(path)) {
        seen.whole = true;
        seen.info = std::move(*read);
    }
    return seen;
}

bool DifferentDownload(const PartFileSeen& temp, const PartFileSeen& copy) {
    return temp.info.hash != copy.info.hash;
}

// The temp folder's part file would lose progress to this copy: a copy of less done, or of
// another download that took the place since.
bool SetBackBy(const PartFileSeen& temp, const PartFileSeen& copy) {
    return temp.whole && copy.whole &&
           (DifferentDownload(temp, copy) || temp.info.done > copy.info.done);
}

DownloadState StateOf(const DownloadRow& row) {
    // The temp folder's file decides first: one that is whole is never lost.
    if (row.temp.whole) {
        const bool ahead = row.newest.whole && !DifferentDownload(row.temp, row.newest) &&
                           row.temp.info.done > row.newest.info.done;
        return ahead ? DownloadState::AheadOfBackup : DownloadState::Whole;
    }
    if (row.temp.present) return DownloadState::DamagedInTemp;
    if (!row.dataInTemp) return DownloadState::GoneWithItsData;
    return row.newest.present ? DownloadState::MissingInTemp : DownloadState::OnlyInOlder;
}

}  // namespace

BackupContents ReadBackupContents(const ContentsRequest& request) {
    BackupContents contents;
    // A relative text would be read wherever the program was started.
    const bool tempUsable = LooksLikeAbsolutePath(request.temp);
    contents.tempMissing = !tempUsable || !files::IsFolder(request.temp);
    if (LooksLikeAbsolutePath(request.backup)) {
        const GenerationPlaces places =
            PlacesAfterRepair(request.backup, request.temp, request.client);
        if (files::IsFolder(places.newest)) contents.newestFolder = places.newest;
        if (!places.older.empty() && files::IsFolder(places.older)) {
            contents.olderFolder = places.older;
        }
    }

    std::map<std::string, DownloadRow> byPlace;
    // Every file to read, and where its facts go; the rows stay where they are in the map.
    std::vector<std::pair<std::string, PartFileSeen*>> reads;
    if (!contents.tempMissing) {
        for (const std::string& place :
             ListTempFolder(request.temp, request.subfolders).partFiles) {
            DownloadRow& row = byPlace[place];
            reads.emplace_back(JoinPath(request.temp, place), &row.temp);
        }
    }
    for (const auto& [place, path] : GenerationCopies(contents.newestFolder, request.subfolders)) {
        reads.emplace_back(path, &byPlace[place].newest);
    }
    for (const auto& [place, path] : GenerationCopies(contents.olderFolder, request.subfolders)) {
        reads.emplace_back(path, &byPlace[place].older);
    }
    files::ForEachIndex(reads.size(), files::WorkersFor(reads.size()),
                        [&](std::size_t k, unsigned) {
                            *reads[k].second = See(reads[k].first);
                            return true;
                        });

    contents.rows.reserve(byPlace.size());
    for (auto& [place, row] : byPlace) {
        // Listed, then gone everywhere before it was read.
        if (!row.temp.present && !row.newest.present && !row.older.present) continue;
        row.place = place;
        // A temp folder that is not there (a disk not mounted) tells nothing of the data.
        if (!row.temp.present) {
            struct stat data {};
            const std::string met = ".met";
            row.dataInTemp =
                contents.tempMissing ||
                ::lstat(JoinPath(request.temp, place.substr(0, place.size() - met.size())).c_str(),
                        &data) == 0;
        }
        for (const PartFileSeen* seen : {&row.temp, &row.newest, &row.older}) {
            if (!seen->whole) continue;
            row.name = seen->info.name;
            row.size = seen->info.size;
            row.hash = seen->info.HashText();
            break;
        }
        row.state = StateOf(row);
        contents.rows.push_back(std::move(row));
    }
    return contents;
}

LostDownloads LostPlaces(const BackupContents& contents) {
    LostDownloads lost;
    for (const DownloadRow& row : contents.rows) {
        if (row.state != DownloadState::DamagedInTemp &&
            row.state != DownloadState::MissingInTemp && row.state != DownloadState::OnlyInOlder) {
            continue;
        }
        if (row.newest.whole) {
            lost.newest.push_back(row.place);
        } else if (row.older.whole) {
            lost.older.push_back(row.place);
        }
    }
    return lost;
}

std::size_t CountAheadOfBackup(const BackupContents& contents, bool older) {
    return static_cast<std::size_t>(
        std::count_if(contents.rows.begin(), contents.rows.end(), [older](const DownloadRow& row) {
            return SetBackBy(row.temp, older ? row.older : row.newest);
        }));
}

}  // namespace hw
