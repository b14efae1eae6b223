#include "backup/backup_run.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "backup/folder_safety.h"
#include "backup/generations.h"
#include "backup/part_file_copies.h"
#include "backup/run_support.h"
#include "base/paths.h"
#include "shell/file_copy.h"
#include "shell/find_files.h"
#include "shell/folders.h"
#include "shell/parallel.h"

namespace hw {

namespace {

bool IsAtOrBelow(const std::string& path, const std::string& folder) {
    return path == folder || path.compare(0, folder.size() + 1, folder + "/") == 0;
}

// Why the new generation could not be made: a folder gone with its disk, the file that could not
// be written, or what could not be changed and why (`failed`, the step that failed).
RunFailure BackupFailure(const StepResult& failed, const GenerationFolders& folders,
                         const files::FolderAnchor& parent, const PartFileCopies& copies) {
    if (!copies.sourceGone.empty()) return {FailureKind::TempGone, copies.sourceGone, 0};
    std::string gone;
    if (!parent.StillThere()) {
        gone = folders.backup;
    } else if (failed.error == ENOENT) {
        for (const std::string& folder : {folders.staging, folders.complete, folders.backup}) {
            if (IsAtOrBelow(failed.path, folder) && !files::IsFolder(folder)) gone = folder;
        }
    }
    if (!gone.empty()) return {FailureKind::FolderGone, gone, 0};
    const int code = failed.error;
    if (!copies.notWritten.empty() && (code == 0 || code == ENOSPC || code == EDQUOT)) {
        return {FailureKind::FileNotWritten, copies.notWritten, 0};
    }
    if (code == 0) return {FailureKind::Unexplained, "", 0};
    return {FailureKind::NotChanged, failed.path, code};
}

// The first path at or above `path` that exists and is no folder (a link to a folder counts as
// one); empty where there is none.
std::string NotAFolderAtOrAbove(std::string path) {
    while (LooksLikeAbsolutePath(path)) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? "" : path;
        if (path == "/") break;
        path = ParentPath(path);
    }
    return "";
}

// Collects the places of the backup files among the entries of the newest generation as
// HoldsForeignEntries meets them: their names, in subfolder mode below a subfolder.
SeenEntry BackupPlaces(bool subfolders, std::vector<std::string>& places) {
    return [&places, subfolders](const std::string& subfolder, const std::string& name,
                                 unsigned char) {
        if (subfolder.empty() == subfolders || subfolder == kExtrasFolder ||
            !MaskMatches(name, kBackupFileMask)) {
            return;
        }
        places.push_back(subfolders ? JoinPath(subfolder, name) : name);
    };
}

// The same from a listing of its own.
std::vector<std::string> ListBackupPlaces(const std::string& backup, bool subfolders) {
    std::vector<std::string> places;
    const SeenEntry collect = BackupPlaces(subfolders, places);
    auto in = [&](const std::string& subfolder) {
        return [&, subfolder](const std::string& name, unsigned char type) {
            collect(subfolder, name, type);
            return true;
        };
    };
    if (!subfolders) {
        files::ForEachEntry(backup, in(""));
        return places;
    }
    for (const std::string& folder : Subfolders(backup)) {
        files::ForEachEntry(folder, in(LastElement(folder)));
    }
    return places;
}

// Adds, for every part file that the newest generation holds (at `places`, see BackupPlaces) and
// the listing of the temp folder lacks, that file's path below the temp folder: a client that
// writes a part file anew may have it removed just as the folder is listed. Sources that are
// still missing when they are copied are read once more after the pause and left out when they
// stay away (their download completed or was cancelled). `sources` are paths below the temp
// folder, as ListTempFolder gives them.
void AddUnlistedSources(const std::vector<std::string>& places, std::vector<std::string>& sources) {
    // Looked up by hash, without making a text of each.
    std::unordered_set<std::string_view> listed;
    listed.reserve(sources.size());
    listed.insert(sources.begin(), sources.end());
    const std::size_t suffix = std::string(kBackupSuffix).size();
    std::vector<std::string> unlisted;
    for (const std::string& copy : places) {
        const std::string_view place = std::string_view(copy).substr(0, copy.size() - suffix);
        if (listed.count(place) == 0) unlisted.emplace_back(place);
    }
    listed = {};
    sources.insert(sources.end(), unlisted.begin(), unlisted.end());
}

// One job for each source (a path below the temp folder), which it takes.
std::vector<PartFileJob> PartFileJobs(std::vector<std::string> sources,
                                      const PartFileFolders& folders) {
    std::vector<PartFileJob> jobs;
    jobs.reserve(sources.size());
    for (std::string& source : sources) {
        source += kBackupSuffix;
        jobs.push_back({std::move(source), &folders});
    }
    return jobs;
}

// Why a run may not use this backup folder; kind None when it may. The rotation moves and
// deletes whole folders: none may take the client's own files with it. B becomes B_old and B_old
// is thrown away: both may hold only what the backup made, and the hidden folders, which are
// reused and removed unasked, must carry the program's mark as well. All is checked before
// anything is copied.
// `seen` is told the entries of B as they are checked (see HoldsForeignEntries); `kept` receives
// the listing of the kept generation where it passed (see FolderListing).
RunRefusal Refusal(const BackupRequest& r, const SeenEntry& seen, FolderListing& kept) {
    if (!LooksLikeAbsolutePath(r.backup)) return RefusalOf(RefusalKind::BackupNotAbsolute);
    const GenerationFolders folders(r.backup);
    std::vector<std::string> guarded{r.temp};
    if (LooksLikeAbsolutePath(r.client)) guarded.push_back(r.client);
    if (AnyOverlaps(folders.All(), guarded)) return RefusalOf(RefusalKind::BackupOverlaps);
    for (const std::string& folder : {folders.backup, folders.old}) {
        const std::string file = NotAFolderAtOrAbove(folder);
        if (!file.empty()) return RefusalOf(RefusalKind::NotAFolder, file);
    }
    const RunRefusal owner = OwnerRefusal(folders.All(), r.settingsFile);
    if (owner.kind != RefusalKind::None) return owner;
    // The listings of the generations are the longest checks of a run with many part files: B's
    // is made beside those of B_old and the hidden folders, and they are told in their order.
    const std::string* generations[] = {&folders.backup, &folders.old};
    bool foreign[] = {false, false};
    const std::vector<std::string> hidden = folders.Hidden();
    std::vector<char> hiddenForeign(hidden.size(), 0);
    files::RunSideBySide(
        [&] {
            foreign[1] = HoldsForeignEntries(folders.old, kNewestMark);
            for (std::size_t k = 0; k < hidden.size(); ++k) {
                const bool isKept = hidden[k] == folders.discard;
                hiddenForeign[k] = IsForeignHiddenFolder(hidden[k], isKept ? &kept : nullptr);
            }
        },
        [&] { foreign[0] = HoldsForeignEntries(folders.backup, kNewestMark, seen); });
    for (std::size_t k = 0; k < 2; ++k) {
        const std::string& folder = *generations[k];
        // A mount point cannot be renamed: the staging folder would land on the parent's disk.
        if (IsMountPoint(folder)) return RefusalOf(RefusalKind::MountPoint, folder);
        if (foreign[k]) return RefusalOf(RefusalKind::Foreign, folder);
    }
    for (std::size_t k = 0; k < hidden.size(); ++k) {
        if (hiddenForeign[k]) return RefusalOf(RefusalKind::Foreign, hidden[k]);
    }
    return {};
}

}  // namespace

BackupReport RunBackup(const BackupRequest& r, TabfFileOperation& op, BackgroundRemoval& removal) {
    BackupReport report;
    const std::string& temp = r.temp;
    const std::string& backup = r.backup;
    // Held for the whole run: a part file missing at copy time counts as a completed download
    // only while the temp folder is still this one, on its disk.
    files::FolderAnchor tempFolder;
    tempFolder.Open(temp);
    // The temp folder is listed once: for the part files and for leftovers of copies. It is
    // listed while the backup folder is checked: with many part files, the three listings are
    // most of what a run costs before it copies.
    TempFolderListing listing;
    RunRefusal refusal;
    // The names in B come with the check of its entries.
    std::vector<std::string> places;
    FolderListing kept;
    files::RunSideBySide([&] { listing = ListTempFolder(temp, r.subfolders); },
                         [&] { refusal = Refusal(r, BackupPlaces(r.subfolders, places), kept); });
    const bool refused = refusal.kind != RefusalKind::None;
    std::vector<std::string> sources = std::move(listing.partFiles);
    // Only where the temp folder lists no part file does B tell whether there is anything to
    // do; a refused check may have stopped short of B's end, or never begun, and B is listed
    // again.
    const bool listed = !sources.empty();
    if (!listed) {
        AddUnlistedSources(refused ? ListBackupPlaces(backup, r.subfolders) : places, sources);
    }
    if (sources.empty()) {
        report.failure = {};
        report.outcome = RunResult::NothingToDo;
        return report;
    }
    if (refused) {
        report.failure = {};
        report.outcome = RunResult::Refused;
        report.refusal = refusal;
        return report;
    }
    if (listed) AddUnlistedSources(places, sources);
    places = {};
    const GenerationFolders folders(backup);

    // The run works relative to B's parent from here on (see files::FolderAnchor).
    files::FolderAnchor parent;
    const std::string parentPath = ParentPath(backup);
    if (!files::MakeFolders(parentPath) || !parent.Open(parentPath)) {
        report.failure = {FailureKind::NotChanged, parentPath, errno};
        return report;
    }
    RemoveLeftoverFiles(op, listing.leftovers);
    std::vector<std::string> others = ExtraTargetFolders(r.client, r.entries);
    const std::vector<std::string> extras = ExtrasFolders(folders);
    others.insert(others.end(), extras.begin(), extras.end());
    RemoveCopyLeftovers(op, others);
    const PartFileFolders jobFolders{temp, folders.staging, folders.backup};
    const std::vector<PartFileJob> jobs = PartFileJobs(std::move(sources), jobFolders);
    // Records of copies are only as good as the change times they hold.
    const bool trustRecords =
        files::KeepsRealChangeTimes(temp) && files::KeepsRealChangeTimes(parentPath);
    const std::function<void()> pause = r.pauseBeforeRereading ? r.pauseBeforeRereading : [] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
    };
    PartFileProgress progress(r.progress, jobs.size());
    PartFileCopies copies;
    // The step that failed first is the one told.
    const StepResult repaired = RepairGenerations(op, removal, folders);
    StagingResult staging{StageResult::Failed, repaired};
    if (repaired) {
        staging = StageGeneration(op, removal, jobs, folders, parent, tempFolder, std::move(kept),
                                  trustRecords, pause, copies, &progress);
    }
    std::optional<StagedCopies> stagedCopies;
    if (staging.result == StageResult::Staged) stagedCopies = StagedCopiesOf(copies);
    // Saved with the generation; not held through the rotation.
    copies.records = {};
    if (staging.result == StageResult::Staged) {
        if (const StepResult promoted = PromoteGeneration(op, removal, folders, staging.reusedKept,
                                                          stagedCopies ? &*stagedCopies : nullptr);
            !promoted) {
            staging = {StageResult::Failed, promoted};
        }
    }
    const StageResult staged = staging.result;
    if (staged == StageResult::Failed) {
        report.failure = BackupFailure(staging.failure, folders, parent, copies);
        report.failure.noInodes = staging.noInodes;
        return report;
    }
    report.failure = {};
    report.files = copies.written;
    report.damaged = copies.kept.size() + copies.spareOnly.size() + copies.lost.size();
    report.kept = copies.kept;
    report.spareOnly = copies.spareOnly;
    report.lost = copies.lost;
    report.tooLong = copies.tooLong;
    report.badName = copies.badName;
    const bool leftOut = !copies.tooLong.empty() || !copies.badName.empty() || !copies.lost.empty();
    if (staged == StageResult::NothingStaged && !leftOut) {
        // Every part file vanished since the listing: their downloads completed.
        report.outcome = RunResult::NothingToDo;
        return report;
    }
    bool complete = !leftOut;
    if (staged == StageResult::Staged) {
        ExtrasReport extrasReport = BackupAdditionalFiles(op, r.client, backup, r.entries);
        report.extrasFailed = std::move(extrasReport.failed);
        report.extrasFolderGone = std::move(extrasReport.folderGone);
        if (!report.extrasFailed.empty() || !report.extrasFolderGone.empty()) complete = false;
    }
    report.outcome = complete ? RunResult::Succeeded : RunResult::Failed;
    return report;
}

ExtrasReport BackupAdditionalFiles(TabfFileOperation& op, const std::string& client,
                                   const std::string& backup,
                                   const std::vector<std::string>& entries) {
    ExtrasReport report;
    // The new generation is held open: a disk that vanishes gets no extras folder made in its
    // place.
    files::FolderAnchor generation;
    generation.Open(backup);
    for (const std::string& entry : entries) {
        const std::string source = JoinPath(client, entry);
        // An entry from a hand-edited settings file must not reach outside the client folder.
        bool copied =
            IsSafeExtraEntry(entry) && LooksLikeAbsolutePath(client) && files::IsFile(source);
        if (copied) {
            op.SetFileList({source});
            op.DestFolder = JoinPath(JoinPath(backup, kExtrasFolder), entry);
            TabfFileOperation::CopyMode mode;
            if (generation.IsOpen()) mode.within = &generation;
            copied = op.Copy(mode).Ok();
            if (!copied && generation.IsOpen() && !generation.StillThere()) {
                report.failed.clear();
                report.folderGone = backup;
                return report;
            }
        }
        if (!copied) report.failed.push_back(ExtraEntryShown(client, entry));
    }
    return report;
}

}  // namespace hw
