#include "backup/restore_run.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "backup/folder_safety.h"
#include "backup/generation_summary.h"
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

// A backup cut short may have left the newest generation under another name than B; it is put
// in place first. Only folders that the backup may touch at all are repaired; whatever else the
// restore finds, it reads as it stands.
void RepairBeforeRestore(TabfFileOperation& op, const std::string& temp, const std::string& backup,
                         const std::string& client, BackgroundRemoval& removal) {
    if (!LooksLikeAbsolutePath(backup)) return;
    const GenerationFolders folders(backup);
    if (!RepairNeeded(removal, folders) || !RestoreMayRepair(folders, temp, client)) return;
    RepairGenerations(op, removal, folders);
}

// A place as a restore of chosen part files takes it: a part file's name, in subfolder mode
// below one folder. Anything else ("..", a full path, deeper folders) is never made a path.
bool IsPlainPlace(const std::string& place, bool subfolders) {
    if (place.empty() || place.find('\0') != std::string::npos) return false;
    const std::size_t slash = place.find('/');
    if (subfolders != (slash != std::string::npos)) return false;
    const std::string name = subfolders ? place.substr(slash + 1) : place;
    const std::string folder = subfolders ? place.substr(0, slash) : std::string();
    if (subfolders && (folder.empty() || folder == "." || folder == "..")) return false;
    return name.find('/') == std::string::npos && MaskMatches(name, kPartFileMask);
}

// The place of a backup copy, as the contents of a backup name it.
std::string PlaceOf(const std::string& copy, bool subfolders) {
    std::string name = LastElement(copy);
    name.resize(name.size() - std::string(kBackupSuffix).size());
    return subfolders ? NextToLastElement(copy) + "/" + name : name;
}

// Keeps the copies of the chosen places; the places the generation holds no copy of go to
// `missing`, each once.
void KeepChosen(std::vector<std::string>& sources, const std::vector<std::string>& only,
                bool subfolders, std::vector<std::string>& missing) {
    std::vector<std::string> chosen;
    for (const std::string& place : only) {
        if (std::find(chosen.begin(), chosen.end(), place) != chosen.end() ||
            std::find(missing.begin(), missing.end(), place) != missing.end()) {
            continue;
        }
        (IsPlainPlace(place, subfolders) ? chosen : missing).push_back(place);
    }
    std::sort(chosen.begin(), chosen.end());
    std::vector<std::string> kept;
    std::vector<bool> found(chosen.size(), false);
    for (std::string& source : sources) {
        const auto at = std::lower_bound(chosen.begin(), chosen.end(), PlaceOf(source, subfolders));
        if (at == chosen.end() || *at != PlaceOf(source, subfolders)) continue;
        found[static_cast<std::size_t>(at - chosen.begin())] = true;
        kept.push_back(std::move(source));
    }
    for (std::size_t k = 0; k < chosen.size(); ++k) {
        if (!found[k]) missing.push_back(chosen[k]);
    }
    sources = std::move(kept);
}

}  // namespace

RunRefusal RestoreOwnerRefusal(const RestoreRequest& r) {
    return OwnerRefusal({r.temp}, r.settingsFile);
}

RestoreReport RunRestore(const RestoreRequest& r, TabfFileOperation& op,
                         BackgroundRemoval& removal) {
    RestoreReport report;
    const std::string& temp = r.temp;
    const bool subfolders = r.subfolders;
    auto refuse = [&report](RunRefusal refusal) {
        report.outcome = RunResult::Refused;
        report.refusal = std::move(refusal);
        return report;
    };
    // Before the repair, which renames in the backup folder.
    const RunRefusal owner = RestoreOwnerRefusal(r);
    if (owner.kind != RefusalKind::None) return refuse(owner);
    RepairBeforeRestore(op, temp, r.backup, r.client, removal);
    const std::string backup = r.older ? r.backup + kOldSuffix : r.backup;

    auto list = [subfolders](const std::string& folder, std::vector<std::string>& into) {
        return subfolders ? FindFilesInSubfolders(folder, kBackupFileMask, into)
                          : FindFiles(folder, kBackupFileMask, into);
    };
    std::vector<std::string> sources;
    bool found = list(backup, sources);
    // Chosen part files of B_old that come back in the same run as those of B.
    std::vector<std::string> olderSources;
    std::vector<std::string> fromOlder;
    if (!r.older) {
        for (const std::string& place : r.onlyFromOlder) {
            if (std::find(r.only.begin(), r.only.end(), place) == r.only.end()) {
                fromOlder.push_back(place);
            }
        }
        if (!fromOlder.empty()) found = list(r.backup + kOldSuffix, olderSources) || found;
    }
    if (!found) {
        // A backup disk that is not mounted leaves B missing, or its mount point empty.
        bool empty = true;
        files::ForEachEntry(backup,
                            [&](const std::string&, unsigned char) { return empty = false; });
        const bool absent = LooksLikeAbsolutePath(backup) && empty;
        return refuse(RefusalOf(RefusalKind::NothingToRestore, absent ? backup : ""));
    }
    // A relative text (a placeholder) would put the files beside wherever the program was
    // started, an empty one into "/", and the run would still report success.
    if (!LooksLikeAbsolutePath(temp)) return refuse(RefusalOf(RefusalKind::TempNotAbsolute));
    // A temp folder whose disk is not mounted is not made anew on the disk below: the restored
    // files would lie where the client never looks, and the run would report success. It is held
    // open from here on, so that one that vanishes mid-run gets nothing made in its place.
    files::FolderAnchor tempFolder;
    if (!tempFolder.Open(temp)) return refuse(RefusalOf(RefusalKind::TempMissing, temp));

    // Chosen part files come back alone: no additional file, and nothing in the client folder.
    std::vector<std::string> only = r.only;
    if (r.older) only.insert(only.end(), r.onlyFromOlder.begin(), r.onlyFromOlder.end());
    const bool chosen = !only.empty() || !fromOlder.empty();
    const std::vector<std::string> noEntries;
    const std::vector<std::string>& entries = chosen ? noEntries : r.entries;
    if (chosen) {
        KeepChosen(sources, only, subfolders, report.notInBackup);
        KeepChosen(olderSources, fromOlder, subfolders, report.notInBackup);
        sources.insert(sources.end(), olderSources.begin(), olderSources.end());
    }
    RemoveCopyLeftovers(op, RestoreTargetFolders(temp, r.client, entries));
    bool failed = !report.notInBackup.empty();
    bool otherFailure = false;
    // A damaged copy would replace the client's file, which may still be good. The copies wait
    // under temporary names until all are written, so that one sync makes them durable.
    TabfFileOperation::CopyMode partFilesOnly = PartFilesOnly();
    // A temp folder without part files (a new disk, say) has no target to look at first.
    partFilesOnly.newNames = !subfolders && !AnyMatches(temp, kPartFileMask);
    PartFileProgress progress(r.progress, sources.size());
    // Each thread copies through a file operation and into a list of its own.
    const unsigned workers = op.CopyWorkers(sources.size());
    std::vector<TabfFileOperation> ops(workers > 1 ? workers : 0, op);
    std::vector<std::vector<files::StagedCopy>> stagedBy(workers);
    std::vector<files::CopyResult> results(sources.size());
    std::vector<std::string> targets(sources.size());
    files::ForEachIndex(sources.size(), workers, [&](std::size_t k, unsigned worker) {
        const std::string& source = sources[k];
        std::string name = LastElement(source);
        name.resize(name.size() - std::string(kBackupSuffix).size());
        // A disk that drops out leaves its mount point at the temp folder's path, or the path
        // gone: nothing more is written there.
        if (!tempFolder.StillThere()) {
            results[k] = {files::CopyStatus::TargetFailed, ENOENT};
            progress.Done();
            return true;
        }
        TabfFileOperation& copier = workers > 1 ? ops[worker] : op;
        copier.SetFileList({source});
        targets[k] = subfolders ? JoinPath(JoinPath(temp, NextToLastElement(source)), name)
                                : JoinPath(temp, name);
        copier.DestFolder = targets[k];
        TabfFileOperation::CopyMode mode = partFilesOnly;
        mode.staged = &stagedBy[worker];
        mode.within = &tempFolder;
        results[k] = copier.Copy(mode);
        progress.Done();
        return true;
    });
    std::vector<files::StagedCopy> staged;
    for (std::vector<files::StagedCopy>& some : stagedBy) {
        staged.insert(staged.end(), some.begin(), some.end());
    }
    // The first failure that is no damaged copy is the one told.
    std::string failedPath;
    files::CopyResult failure;
    for (std::size_t k = 0; k < sources.size(); ++k) {
        const std::string& source = sources[k];
        const files::CopyResult& copied = results[k];
        // Counted also where the file held the backup's bytes already and was left alone.
        if (copied.Ok()) {
            ++report.files;
            continue;
        }
        failed = true;
        if (copied.status == files::CopyStatus::SourceRefused) {
            report.damagedCopies.push_back(source);
        } else if (!otherFailure) {
            otherFailure = true;
            failedPath = copied.InSource() ? source : targets[k];
            failure = copied;
        }
    }
    // Looked at while the staged copies still hold their inodes.
    const bool noInodes =
        !failure.InSource() && failure.error == ENOSPC && files::HasNoFreeInodes(temp);
    if (!tempFolder.StillThere()) {
        // Nothing is put in place where the temp folder was. Each copy's temporary name (its own,
        // made for this copy) goes from the folder held open, wherever that is now, and from its
        // path, where a copy may have landed on what lies there now.
        const std::string top = JoinPath(temp, "");
        for (const files::StagedCopy& copy : staged) {
            ::unlink(copy.written.c_str());
            if (copy.written.compare(0, top.size(), top) != 0) continue;
            ::unlinkat(tempFolder.Descriptor(), copy.written.c_str() + top.size(), 0);
        }
        failed = otherFailure = true;
    } else if (const StepResult placed = op.PutInPlace(staged); !placed && !otherFailure) {
        failed = otherFailure = true;
        failedPath = placed.path;
        failure = {files::CopyStatus::TargetFailed, placed.error};
    }
    // The first file that could not be read or changed, and why; or the temp folder gone with
    // its disk.
    if (!otherFailure) {
        report.failure = {};
    } else if (!tempFolder.StillThere()) {
        report.failure = {FailureKind::FolderGone, tempFolder.Path(), 0};
    } else if (failure.error == 0) {
        report.failure = {FailureKind::Unexplained, "", 0};
    } else {
        report.failure = {failure.InSource() ? FailureKind::NotRead : FailureKind::NotChanged,
                          failedPath, failure.error};
        report.failure.noInodes = noInodes;
    }
    report.extrasFailed = RestoreAdditionalFiles(op, backup, r.client, entries);
    report.outcome = failed ? RunResult::Failed : RunResult::Succeeded;
    return report;
}

std::vector<std::string> RestoreAdditionalFiles(TabfFileOperation& op,
                                                const std::string& generation,
                                                const std::string& client,
                                                const std::vector<std::string>& entries) {
    std::vector<std::string> failed;
    for (const std::string& entry : entries) {
        const std::string source = JoinPath(JoinPath(generation, kExtrasFolder), entry);
        const std::string target = JoinPath(client, entry);
        // An entry from a hand-edited settings file must not write outside the client folder.
        bool copied =
            IsSafeExtraEntry(entry) && LooksLikeAbsolutePath(client) && files::IsFile(source);
        if (copied) {
            op.SetFileList({source});
            op.DestFolder = target;
            copied = op.Copy().Ok();
        }
        if (!copied) failed.push_back(ExtraEntryShown(client, entry));
    }
    return failed;
}

}  // namespace hw
