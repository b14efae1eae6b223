// The restore run: the part files of the backup folder back into the temp folder, then the
// additional files back into the client folder. Every copy replaces its target only when whole.
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "backup/generation_summary.h"
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

// What a failed restore tells: the temp folder gone with its disk, or the first file that could
// not be read or changed, and why.
std::string RestoreFailure(const MainForm& f, const files::FolderAnchor& temp,
                           const std::string& path, const files::CopyResult& failure) {
    const std::string text = f.msg_restore_failed;
    if (!temp.StillThere()) return text + "\n\n" + f.msg_restore_folder_gone + temp.Path();
    if (failure.error == 0) return text;
    const std::string& what =
        failure.InSource() ? f.msg_restore_not_read : f.msg_restore_not_changed;
    return text + "\n\n" + what + path + "\n\n" + f.FailureCause(failure.error);
}

}  // namespace

void MainForm::RestorePartFiles(bool older) {
    ManualRunScope scope(*this);
    runFiles_ = 0;
    runDamaged_ = 0;
    runEnd_ = RunEnd::Failed;
    const std::string temp = TrimTrailingSeparators(edit_tempdir.text());
    const std::string newest = TrimTrailingSeparators(edit_backupdir.text());
    const bool subfolders = radio_storing_subfolder.checked();
    const std::string client = TrimTrailingSeparators(edit_clientdir.text());
    TabfFileOperation& op = abfFileOperation1;
    // Before the repair, which renames in the backup folder.
    const std::string owner = OwnerRefusal({temp}, "restore --yes");
    if (!owner.empty()) {
        RefuseRun(owner);
        RecordRun(true, false, false, owner);
        return;
    }
    // A backup under way would rotate the generations while they are read.
    const std::string inUse = ReserveBackupFolder(newest);
    if (!inUse.empty()) {
        RefuseRun(inUse);
        return;
    }
    RepairBeforeRestore(op, temp, newest, client, discardRemoval_);
    const std::string backup = older ? newest + kOldSuffix : newest;

    std::vector<std::string> sources;
    const bool found = subfolders ? FindFilesInSubfolders(backup, kBackupFileMask, sources)
                                  : FindFiles(backup, kBackupFileMask, sources);
    if (!found) {
        // A backup disk that is not mounted leaves B missing, or its mount point empty.
        bool empty = true;
        files::ForEachEntry(backup,
                            [&](const std::string&, unsigned char) { return empty = false; });
        const bool absent = LooksLikeAbsolutePath(backup) && empty;
        const std::string text =
            absent ? msg_nothing_to_restore + "\n\n" + msg_backupdir_missing + backup
                   : msg_nothing_to_restore;
        ShowMessage(text, msg_error_caption);
        RecordRun(true, false, false, text);
        return;
    }
    // A relative text (a placeholder) would put the files beside wherever the program was
    // started, an empty one into "/", and the run would still report success.
    if (!LooksLikeAbsolutePath(temp)) {
        RefuseRun(msg_tempdir_not_absolute);
        RecordRun(true, false, false, msg_tempdir_not_absolute);
        return;
    }
    // A temp folder whose disk is not mounted is not made anew on the disk below: the restored
    // files would lie where the client never looks, and the run would report success. It is held
    // open from here on, so that one that vanishes mid-run gets nothing made in its place.
    files::FolderAnchor tempFolder;
    if (!tempFolder.Open(temp)) {
        const std::string text = msg_tempdir_missing + temp;
        RefuseRun(text);
        RecordRun(true, false, false, text);
        return;
    }

    RemoveCopyLeftovers(op, RestoreTargetFolders(temp, client, listbox_files.items()));
    bool failed = false;
    bool otherFailure = false;
    std::string damaged;
    // A damaged copy would replace the client's file, which may still be good. The copies wait
    // under temporary names until all are written, so that one sync makes them durable.
    TabfFileOperation::CopyMode partFilesOnly = PartFilesOnly();
    // A temp folder without part files (a new disk, say) has no target to look at first.
    partFilesOnly.newNames = !subfolders && !AnyMatches(temp, kPartFileMask);
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
            ++runFiles_;
            continue;
        }
        failed = true;
        if (copied.status == files::CopyStatus::SourceRefused) {
            damaged += source + "\n";
            ++runDamaged_;
        } else if (!otherFailure) {
            otherFailure = true;
            failedPath = copied.InSource() ? source : targets[k];
            failure = copied;
        }
    }
    op.ClearFailure();
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
    } else if (!op.PutInPlace(staged) && !otherFailure) {
        failed = otherFailure = true;
        failedPath = op.FailedPath();
        failure = {files::CopyStatus::TargetFailed, op.FailedCode()};
    }
    const std::string outcome = !failed ? msg_restore_ok
                                : otherFailure
                                    ? RestoreFailure(*this, tempFolder, failedPath, failure)
                                    : msg_restore_failed;
    ShowMessage(outcome, failed ? msg_error_caption : msg_info_caption);
    if (!damaged.empty()) ShowMessage(msg_restore_damaged + damaged, msg_error_caption);
    const bool extrasRestored = RestoreAdditionalFiles(older);
    runEnd_ = !extrasRestored || otherFailure ? RunEnd::Failed
              : failed                        ? RunEnd::Damaged
                                              : RunEnd::Succeeded;
    RecordRun(true, false, !failed,
              damaged.empty() ? outcome : outcome + "\n" + msg_restore_damaged + damaged);
}

bool MainForm::RestoreAdditionalFiles(bool older) {
    std::string errors;
    for (const std::string& entry : listbox_files.items()) {
        // Read again for every entry: a box of this run may have let the fields change.
        const std::string newest = TrimTrailingSeparators(edit_backupdir.text());
        const std::string backup = older ? newest + kOldSuffix : newest;
        const std::string client = TrimTrailingSeparators(edit_clientdir.text());
        const std::string source = JoinPath(JoinPath(backup, kExtrasFolder), entry);
        const std::string target = JoinPath(client, entry);
        // An entry from a hand-edited settings file must not write outside the client folder.
        bool copied =
            IsSafeExtraEntry(entry) && LooksLikeAbsolutePath(client) && files::IsFile(source);
        if (copied) {
            abfFileOperation1.SetFileList({source});
            abfFileOperation1.DestFolder = target;
            copied = abfFileOperation1.Copy().Ok();
        }
        if (!copied) errors += ExtraEntryShown(client, entry) + "\n";
    }
    if (errors.empty()) return true;
    ShowMessage(msg_extra_restore_errors + errors, msg_error_caption);
    return false;
}

}  // namespace hw
