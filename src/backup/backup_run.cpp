// The backup run: part files into a new generation of the backup folder, the previous one kept
// as B_old, then the additional files. How the generations are replaced: backup/generations.h.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "backup/folder_safety.h"
#include "backup/generations.h"
#include "backup/manual_run_scope.h"
#include "backup/part_file_copies.h"
#include "backup/run_support.h"
#include "base/paths.h"
#include "shell/file_copy.h"
#include "shell/find_files.h"
#include "shell/folders.h"
#include "shell/parallel.h"
#include "ui/main_form.h"

namespace hw {

namespace {

std::string Lines(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += name + "\n";
    return text;
}

bool IsAtOrBelow(const std::string& path, const std::string& folder) {
    return path == folder || path.compare(0, folder.size() + 1, folder + "/") == 0;
}

// What a failed run tells: a folder gone with its disk, the file that could not be written, or
// what could not be changed and why.
std::string BackupFailure(const MainForm& f, const GenerationFolders& folders,
                          const files::FolderAnchor& parent, const PartFileCopies& copies) {
    const TabfFileOperation& op = f.abfFileOperation1;
    const std::string& notWritten = copies.notWritten;
    if (!copies.sourceGone.empty()) {
        return f.msg_backup_failed + "\n\n" + f.msg_temp_gone + copies.sourceGone + "\n\n" +
               f.msg_generations_unchanged;
    }
    std::string gone;
    if (!parent.StillThere()) {
        gone = folders.backup;
    } else if (op.FailedCode() == ENOENT) {
        for (const std::string& folder : {folders.staging, folders.complete, folders.backup}) {
            if (IsAtOrBelow(op.FailedPath(), folder) && !files::IsFolder(folder)) gone = folder;
        }
    }
    const std::string text = f.msg_backup_failed;
    if (!gone.empty()) return text + "\n\n" + f.msg_folder_gone + gone;
    const int code = op.FailedCode();
    if (!notWritten.empty() && (code == 0 || code == ENOSPC || code == EDQUOT)) {
        return text + "\n\n" + f.msg_file_not_written + notWritten;
    }
    if (code == 0) return text;
    return text + "\n\n" + f.msg_not_changed + op.FailedPath() + "\n\n" + f.FailureCause(code);
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

// The user's name, or "#" and the number where the user has none (as sudo -u takes it).
std::string UserName(uid_t user) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
        return found->pw_name;
    }
    return "#" + std::to_string(user);
}

// Collects the places of the backup files among the entries of the newest generation as
// HoldsForeignEntries meets them: their names, in subfolder mode below a subfolder.
SeenEntry BackupPlaces(bool subfolders, std::vector<std::string>& places) {
    return [&places, subfolders](const std::string& subfolder, const std::string& name) {
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
        return [&, subfolder](const std::string& name, unsigned char) {
            collect(subfolder, name);
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
// the listing of the temp folder lacks, that file's path in the temp folder: a client that
// writes a part file anew may have it removed just as the folder is listed. Sources that are
// still missing when they are copied are read once more after the pause and left out when they
// stay away (their download completed or was cancelled).
void AddUnlistedSources(const std::string& temp, const std::vector<std::string>& places,
                        std::vector<std::string>& sources) {
    // A source's place is the end of its path: the name, and in subfolder mode the subfolder.
    // Both sides are compared as such ends, without making a text of each.
    const std::size_t tempLength = JoinPath(temp, "").size();
    std::unordered_set<std::string_view> listed;
    listed.reserve(sources.size());
    for (const std::string& source : sources) {
        listed.insert(std::string_view(source).substr(std::min(tempLength, source.size())));
    }
    const std::size_t suffix = std::string(kBackupSuffix).size();
    std::vector<std::string> unlisted;
    for (const std::string& copy : places) {
        const std::string_view place = std::string_view(copy).substr(0, copy.size() - suffix);
        if (listed.count(place) == 0) unlisted.push_back(JoinPath(temp, std::string(place)));
    }
    sources.insert(sources.end(), unlisted.begin(), unlisted.end());
}

std::vector<PartFileJob> PartFileJobs(const std::vector<std::string>& sources,
                                      const GenerationFolders& folders, bool subfolders) {
    std::vector<PartFileJob> jobs;
    jobs.reserve(sources.size());
    for (const std::string& source : sources) {
        const std::string name = LastElement(source) + kBackupSuffix;
        const std::string place = subfolders ? JoinPath(NextToLastElement(source), name) : name;
        jobs.push_back(
            {source, JoinPath(folders.staging, place), JoinPath(folders.backup, place), place});
    }
    return jobs;
}

// What a run that copied its part files tells: `failure` fails it (and is shown unless the run
// is automatic), `notice` is shown to a manual run only. Both empty where there is nothing.
struct RunReport {
    std::string failure;
    std::string notice;
    std::string caption;
};

// Names the backup's disk would not take, else files lost, else success.
RunReport LeftOutReport(const MainForm& f, const PartFileCopies& copies) {
    if (!copies.tooLong.empty() || !copies.badName.empty()) {
        std::string text;
        if (!copies.tooLong.empty()) text += f.msg_names_too_long + Lines(copies.tooLong);
        if (!copies.tooLong.empty() && !copies.badName.empty()) text += "\n";
        if (!copies.badName.empty()) text += f.msg_names_unstorable + Lines(copies.badName);
        return {text, "", ""};
    }
    if (!copies.lost.empty()) return {f.msg_backup_failed, "", ""};
    return {"", f.msg_backup_ok, f.msg_info_caption};
}

// Damaged part files, kept from the older copy or lost. Only a file that is in no generation
// at all makes the run a failure.
RunReport DamagedReport(const MainForm& f, const PartFileCopies& copies) {
    if (copies.kept.empty() && copies.lost.empty() && copies.spareOnly.empty()) return {};
    std::string damaged;
    const std::pair<const std::string*, const std::vector<std::string>*> groups[] = {
        {&f.msg_damaged_kept, &copies.kept},
        {&f.msg_spare_only, &copies.spareOnly},
        {&f.msg_damaged_lost, &copies.lost},
    };
    for (const auto& [heading, files] : groups) {
        if (files->empty()) continue;
        if (!damaged.empty()) damaged += "\n";
        damaged += *heading + Lines(*files);
    }
    if (!copies.lost.empty()) return {damaged, "", ""};
    return {"", damaged, f.msg_error_caption};
}

// Why a run may not use this backup folder; empty when it may. The rotation moves and deletes
// whole folders: none may take the client's own files with it (`shownAlways`: shown in
// automatic mode too, or no backup would ever be made unseen). B becomes B_old and B_old is
// thrown away: both may hold only what the backup made, and the hidden folders, which are
// reused and removed unasked, must carry the program's mark as well. All is checked before
// anything is copied.
// `seen` is told the entries of B as they are checked (see HoldsForeignEntries).
std::string Refusal(const MainForm& f, const std::string& backup, const std::string& temp,
                    const std::string& client, bool& shownAlways, const SeenEntry& seen) {
    shownAlways = true;
    if (!LooksLikeAbsolutePath(backup)) return f.msg_backupdir_not_absolute;
    const GenerationFolders folders(backup);
    std::vector<std::string> guarded{temp};
    if (LooksLikeAbsolutePath(client)) guarded.push_back(client);
    if (AnyOverlaps(folders.All(), guarded)) return f.msg_backupdir_overlaps;
    shownAlways = false;
    for (const std::string& folder : {folders.backup, folders.old}) {
        const std::string file = NotAFolderAtOrAbove(folder);
        if (!file.empty()) return f.msg_backupdir_not_folder + file;
    }
    const std::string owner = f.OwnerRefusal(folders.All(), "backup");
    if (!owner.empty()) return owner;
    // The listings of both generations are the longest checks of a run with many part files:
    // they are made side by side, and told in their order.
    const std::string* generations[] = {&folders.backup, &folders.old};
    bool foreign[] = {false, false};
    files::ForEachIndex(2, 2, [&](std::size_t k, unsigned) {
        foreign[k] = HoldsForeignEntries(*generations[k], kNewestMark, k == 0 ? seen : nullptr);
        return true;
    });
    for (std::size_t k = 0; k < 2; ++k) {
        const std::string& folder = *generations[k];
        // A mount point cannot be renamed: the staging folder would land on the parent's disk.
        if (IsMountPoint(folder)) return f.msg_backupdir_mount_point + folder;
        if (foreign[k]) return f.msg_backupdir_foreign + folder;
    }
    for (const std::string& folder : folders.Hidden()) {
        if (IsForeignHiddenFolder(folder)) return f.msg_backupdir_foreign + folder;
    }
    return {};
}

}  // namespace

std::string MainForm::FailureCause(int error) const {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return msg_cause_read_only;
        case ENOSPC:
        case EDQUOT:
            return msg_cause_full;
        case EXDEV:
            return msg_cause_other_disk;
        default:
            return std::strerror(error);
    }
}

std::string MainForm::OwnerRefusal(const std::vector<std::string>& paths,
                                   const std::string& command) const {
    const uid_t me = ::geteuid();
    auto refusal = [&](const std::string& heading, uid_t owner, const std::string& path) {
        const std::string name = UserName(owner);
        return heading + name + ":\n\n" + path + "\n\n" + msg_run_as_owner + "sudo -u " + name +
               " hoardwise-cli " + command;
    };
    struct stat info {};
    // Root on a user's settings would leave files in that user's folders that only root can
    // change.
    const std::string settings = me == 0 ? SettingsFilePath() : "";
    if (!settings.empty() && ::stat(settings.c_str(), &info) == 0 && info.st_uid != me) {
        return refusal(msg_settings_other_owner, info.st_uid, settings);
    }
    for (const std::string& path : paths) {
        if (::lstat(path.c_str(), &info) == 0 && info.st_uid != me) {
            return refusal(msg_folder_other_owner, info.st_uid, path);
        }
    }
    return {};
}

void MainForm::RunFailed(bool automatic, const std::string& text, bool alwaysShown) {
    runFailure_ = text;
    if (!automatic || alwaysShown) ShowMessage(text, msg_error_caption);
}

MainForm::RunOutcome MainForm::BackupPartFiles(bool automatic) {
    runFailure_.clear();
    runFiles_ = 0;
    runDamaged_ = 0;
    runEnd_ = RunEnd::None;
    const RunOutcome outcome = RunBackup(automatic);
    if (outcome == RunOutcome::Succeeded) {
        // A run succeeds with damaged part files only where each kept its older copy.
        runEnd_ = runDamaged_ > 0 ? RunEnd::Damaged : RunEnd::Succeeded;
    } else if (outcome == RunOutcome::Failed && runEnd_ != RunEnd::Refused) {
        runEnd_ = RunEnd::Failed;
    }
    // A run that found nothing to do made no backup, and is no part of the history.
    if (outcome != RunOutcome::Skipped) {
        std::string message = outcome == RunOutcome::Failed ? runFailure_ : msg_backup_ok;
        RecordRun(false, automatic, outcome == RunOutcome::Succeeded, message);
    }
    return outcome;
}

MainForm::RunOutcome MainForm::RunBackup(bool automatic) {
    // A manual run may wait in a message box while the schedule ticks; it is not interleaved.
    if (automatic && ManualRunActive()) return RunOutcome::Skipped;
    const std::string temp = TrimTrailingSeparators(edit_tempdir.text());
    const std::string backup = TrimTrailingSeparators(edit_backupdir.text());
    if (automatic && !IsClientRunning()) {
        return RunOutcome::Skipped;
    }
    std::optional<ManualRunScope> scope;
    if (!automatic) scope.emplace(*this);
    // Two runs never write one backup folder at once. The one that holds it backs it up: an
    // automatic run leaves it to that one, and neither is a run of this folder's history.
    const std::string inUse = ReserveBackupFolder(backup);
    if (!inUse.empty()) {
        if (!automatic) RefuseRun(inUse);
        return RunOutcome::Skipped;
    }

    const bool subfolders = radio_storing_subfolder.checked();
    // Held for the whole run: a part file missing at copy time counts as a completed download
    // only while the temp folder is still this one, on its disk.
    files::FolderAnchor tempFolder;
    tempFolder.Open(temp);
    // The temp folder is listed once: for the part files and for leftovers of copies. It is
    // listed while the backup folder is checked: with many part files, the three listings are
    // most of what a run costs before it copies.
    std::future<TempFolderListing> tempListing =
        std::async(std::launch::async | std::launch::deferred,
                   [&temp, subfolders] { return ListTempFolder(temp, subfolders); });
    const std::string client = TrimTrailingSeparators(edit_clientdir.text());
    bool shownAlways = false;
    // The names in B come with the check of its entries.
    std::vector<std::string> places;
    const std::string refusal =
        Refusal(*this, backup, temp, client, shownAlways, BackupPlaces(subfolders, places));
    const TempFolderListing listing = tempListing.get();
    std::vector<std::string> sources = listing.partFiles;
    // Only where the temp folder lists no part file does B tell whether there is anything to
    // do; a refused check may have stopped short of B's end, or never begun, and B is listed
    // again.
    const bool listed = !sources.empty();
    if (!listed) {
        AddUnlistedSources(temp, refusal.empty() ? places : ListBackupPlaces(backup, subfolders),
                           sources);
    }
    if (sources.empty()) {
        if (!automatic) ShowMessage(msg_no_partmets, msg_error_caption);
        return RunOutcome::Skipped;
    }
    if (!refusal.empty()) {
        runEnd_ = RunEnd::Refused;
        RunFailed(automatic, refusal, shownAlways);
        return RunOutcome::Failed;
    }
    if (listed) AddUnlistedSources(temp, places, sources);
    const GenerationFolders folders(backup);

    TabfFileOperation& op = abfFileOperation1;
    op.ClearFailure();
    // The run works relative to B's parent from here on (see files::FolderAnchor).
    files::FolderAnchor parent;
    const std::string parentPath = ParentPath(backup);
    if (!files::MakeFolders(parentPath) || !parent.Open(parentPath)) {
        const std::string cause = FailureCause(errno);
        RunFailed(automatic,
                  msg_backup_failed + "\n\n" + msg_not_changed + parentPath + "\n\n" + cause);
        return RunOutcome::Failed;
    }
    RemoveLeftoverFiles(op, listing.leftovers);
    std::vector<std::string> others = ExtraTargetFolders(client, listbox_files.items());
    const std::vector<std::string> extras = ExtrasFolders(folders);
    others.insert(others.end(), extras.begin(), extras.end());
    RemoveCopyLeftovers(op, others);
    const std::vector<PartFileJob> jobs = PartFileJobs(sources, folders, subfolders);
    // Records of copies are only as good as the change times they hold.
    const bool trustRecords =
        files::KeepsRealChangeTimes(temp) && files::KeepsRealChangeTimes(parentPath);
    const std::function<void()> pause = pauseBeforeRereading ? pauseBeforeRereading : [] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
    };
    PartFileCopies copies;
    StageResult staged = StageResult::Failed;
    if (RepairGenerations(op, discardRemoval_, folders)) {
        staged = StageGeneration(op, discardRemoval_, jobs, folders, parent, tempFolder,
                                 trustRecords, pause, copies);
    }
    if (staged == StageResult::Staged && !PromoteGeneration(op, discardRemoval_, folders)) {
        staged = StageResult::Failed;
    }
    if (staged == StageResult::Failed) {
        RunFailed(automatic, BackupFailure(*this, folders, parent, copies));
        return RunOutcome::Failed;
    }
    runFiles_ = copies.written;
    runDamaged_ = copies.kept.size() + copies.spareOnly.size() + copies.lost.size();
    const bool leftOut = !copies.tooLong.empty() || !copies.badName.empty() || !copies.lost.empty();
    if (staged == StageResult::NothingStaged && !leftOut) {
        // Every part file vanished since the listing: their downloads completed.
        if (!automatic) ShowMessage(msg_no_partmets, msg_error_caption);
        return RunOutcome::Skipped;
    }
    for (const RunReport& report : {LeftOutReport(*this, copies), DamagedReport(*this, copies)}) {
        if (!report.failure.empty()) {
            RunFailed(automatic, report.failure);
        } else if (!automatic && !report.notice.empty()) {
            ShowMessage(report.notice, report.caption);
        }
    }
    bool complete = !leftOut;
    if (staged == StageResult::Staged && !BackupAdditionalFiles(automatic)) complete = false;
    return complete ? RunOutcome::Succeeded : RunOutcome::Failed;
}

bool MainForm::BackupAdditionalFiles(bool automatic) {
    // The new generation is held open: a disk that vanishes gets no extras folder made in its
    // place.
    files::FolderAnchor generation;
    const std::string promoted = TrimTrailingSeparators(edit_backupdir.text());
    generation.Open(promoted);
    std::string errors;
    for (const std::string& entry : listbox_files.items()) {
        // Read again for every entry: a box of this run may have let the fields change.
        const std::string client = TrimTrailingSeparators(edit_clientdir.text());
        const std::string backup = TrimTrailingSeparators(edit_backupdir.text());
        const std::string source = JoinPath(client, entry);
        // An entry from a hand-edited settings file must not reach outside the client folder.
        bool copied =
            IsSafeExtraEntry(entry) && LooksLikeAbsolutePath(client) && files::IsFile(source);
        if (copied) {
            abfFileOperation1.SetFileList({source});
            abfFileOperation1.DestFolder = JoinPath(JoinPath(backup, kExtrasFolder), entry);
            TabfFileOperation::CopyMode mode;
            if (backup == promoted && generation.IsOpen()) mode.within = &generation;
            copied = abfFileOperation1.Copy(mode).Ok();
            if (!copied && backup == promoted && generation.IsOpen() && !generation.StillThere()) {
                RunFailed(automatic, msg_folder_gone + backup);
                return false;
            }
        }
        if (!copied) errors += ExtraEntryShown(client, entry) + "\n";
    }
    if (errors.empty()) return true;
    RunFailed(automatic, msg_extra_backup_errors + errors);
    return false;
}

}  // namespace hw
