// The backup run: part files into a new generation of the backup folder, the previous one kept
// as B_old, then the additional files.
#include <optional>
#include <vector>

#include "backup/find_files.h"
#include "backup/folder_safety.h"
#include "backup/run_support.h"
#include "base/paths.h"
#include "shell/file_copy.h"
#include "ui/main_form.h"

namespace hw {

namespace {

bool DeleteIfPresent(TabfFileOperation& op, const std::string& path) {
    if (!files::Exists(path)) return true;
    op.SetFileList({path});
    return op.Delete();
}

bool MoveTo(TabfFileOperation& op, const std::string& from, const std::string& to) {
    op.SetFileList({from});
    op.DestFolder = to;
    return op.Move();
}

// Copies every source to its target inside the fresh staging folder and makes the whole
// folder durable. The folder is the temporary: nothing in it is visible under B until the
// rotation renames it.
bool StageGeneration(TabfFileOperation& op, const std::vector<std::string>& sources,
                     const std::vector<std::string>& targets, const std::string& staging) {
    if (!DeleteIfPresent(op, staging)) return false;
    struct InPlace {
        TabfFileOperation& op;
        explicit InPlace(TabfFileOperation& o) : op(o) { op.writeInPlace = true; }
        ~InPlace() { op.writeInPlace = false; }
    } inPlace(op);
    for (std::size_t k = 0; k < sources.size(); ++k) {
        op.SetFileList({sources[k]});
        op.DestFolder = targets[k];
        if (!op.Copy()) return false;
    }
    op.SetFileList({staging});
    return op.Flush();
}

// B_old is set aside first and thrown away last, so that a run stopped at any point leaves B
// and B_old whole (or B_old missing), never half deleted.
bool RotateGenerations(TabfFileOperation& op, BackgroundRemoval& removal, const std::string& backup,
                       const std::string& staging) {
    const std::string old = backup + kOldSuffix;
    const std::string discard = backup + kDiscardSuffix;
    removal.Wait();
    if (!DeleteIfPresent(op, discard)) return false;
    const bool hadOld = files::Exists(old);
    if (hadOld && !MoveTo(op, old, discard)) return false;
    const bool hadBackup = files::IsFolder(backup);
    if (hadBackup && !MoveTo(op, backup, old)) {
        if (hadOld) MoveTo(op, discard, old);
        return false;
    }
    if (!MoveTo(op, staging, backup)) {
        if (hadBackup) MoveTo(op, old, backup);
        if (hadOld) MoveTo(op, discard, old);
        return false;
    }
    // Removed on a worker thread: the next rotation and the program's end wait for it, and a
    // removal cut short by a kill is finished by the next run.
    if (hadOld) removal.Start(discard);
    return true;
}

}  // namespace

void MainForm::BackupPartFiles(bool automatic) {
    // A manual run may wait in a message box while the schedule ticks; it is not interleaved.
    if (automatic && ManualRunActive()) return;
    const std::string temp = RunFolder(edit_tempdir.text());
    const std::string backup = RunFolder(edit_backupdir.text());
    if (automatic && (clientExe.empty() || !IsProcessRunning(clientExe))) return;
    std::optional<ManualRunScope> scope;
    if (!automatic) scope.emplace(*this);

    const bool subfolders = radio_storing_subfolder.checked();
    std::vector<std::string> sources;
    const bool found = subfolders ? FindFilesInSubfolders(temp, kPartFileMask, sources)
                                  : FindFiles(temp, kPartFileMask, sources);
    if (!found) {
        if (!automatic) ShowMessage(msg_no_partmets, msg_error_caption);
        return;
    }

    // The rotation moves and deletes whole folders: refuse any that would take the client's
    // own files with it. Shown in automatic mode too, or no backup would ever be made unseen.
    if (!LooksLikeAbsolutePath(backup)) {
        ShowMessage(msg_backupdir_not_absolute, msg_error_caption);
        return;
    }
    const std::string staging = backup + kStagingSuffix;
    const std::string client = RunFolder(edit_clientdir.text());
    std::vector<std::string> guarded{temp};
    if (LooksLikeAbsolutePath(client)) guarded.push_back(client);
    if (AnyOverlaps({backup, backup + kOldSuffix, staging, backup + kDiscardSuffix}, guarded)) {
        ShowMessage(msg_backupdir_overlaps, msg_error_caption);
        return;
    }

    std::vector<std::string> targets;
    for (const std::string& source : sources) {
        const std::string name = LastElement(source) + kBackupSuffix;
        targets.push_back(subfolders ? JoinPath(JoinPath(staging, NextToLastElement(source)), name)
                                     : JoinPath(staging, name));
    }
    TabfFileOperation& op = abfFileOperation1;
    if (!StageGeneration(op, sources, targets, staging) ||
        !RotateGenerations(op, discardRemoval_, backup, staging)) {
        DeleteIfPresent(op, staging);
        if (!automatic) ShowMessage(msg_backup_failed, msg_error_caption);
        return;
    }
    if (!automatic) ShowMessage(msg_backup_ok, msg_info_caption);
    BackupAdditionalFiles(automatic);
}

void MainForm::BackupAdditionalFiles(bool automatic) {
    std::string errors;
    for (const std::string& entry : listbox_files.items()) {
        // Read again for every entry: a box of this run may have let the fields change.
        const std::string client = RunFolder(edit_clientdir.text());
        const std::string backup = RunFolder(edit_backupdir.text());
        const std::string source = JoinPath(client, entry);
        // An entry from a hand-edited settings file must not reach outside the client folder.
        bool copied =
            IsSafeExtraEntry(entry) && LooksLikeAbsolutePath(client) && files::IsFile(source);
        if (copied) {
            abfFileOperation1.SetFileList({source});
            abfFileOperation1.DestFolder = JoinPath(JoinPath(backup, kExtrasFolder), entry);
            copied = abfFileOperation1.Copy();
        }
        if (!copied) errors += source + "\n";
    }
    if (!errors.empty() && !automatic) {
        ShowMessage(msg_extra_backup_errors + errors, msg_error_caption);
    }
}

}  // namespace hw
