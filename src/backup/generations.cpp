#include "backup/generations.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <set>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "backup/copy_records.h"
#include "backup/folder_safety.h"
#include "backup/run_support.h"
#include "shell/file_copy.h"
#include "shell/find_files.h"
#include "shell/folders.h"

namespace hw {

namespace {

// A generation's mark goes last: a removal cut short leaves a folder that is still known as the
// program's own, so that the next run finishes it.
StepResult DeleteIfPresent(TabfFileOperation& op, const std::string& path) {
    if (!files::Exists(path)) return {};
    op.SetFileList({path});
    return op.Delete(kOwnMark);
}

using FolderSync = TabfFileOperation::FolderSync;

// Only ever called with a target that does not exist, so the source gets exactly that name.
StepResult MoveTo(TabfFileOperation& op, const std::string& from, const std::string& to,
                  FolderSync sync = FolderSync::EachRename) {
    op.SetFileList({from});
    op.DestFolder = to;
    return op.Move(sync);
}

bool HasMark(const std::string& folder) {
    return files::Exists(JoinPath(folder, kNewestMark));
}

// Gives a generation folder the program's own mark where it lacks it (one written before marks
// were kept), so that it is known as the program's own once it is hidden.
StepResult EnsureOwnMark(TabfFileOperation& op, const std::string& folder) {
    const std::string mark = JoinPath(folder, kOwnMark);
    if (files::Exists(mark)) return {};
    op.SetFileList({mark});
    return op.CreateEmpty();
}

// Renames B_old out of the way to be thrown away, so that the name is free. Part of the
// rotation: the caller syncs the folder.
StepResult SetOldAside(TabfFileOperation& op, BackgroundRemoval& removal,
                       const GenerationFolders& f) {
    if (!files::Exists(f.old)) return {};
    removal.Wait();
    StepResult done = DeleteIfPresent(op, f.discard);
    if (done) done = EnsureOwnMark(op, f.old);
    if (done) done = MoveTo(op, f.old, f.discard, FolderSync::ByCaller);
    return done;
}

// The blocks and inodes that a run is expected to take up on the backup's disk.
struct Room {
    double blocks = 0;
    double inodes = 0;
};

void AddFile(Room& room, off_t size, double blockSize, bool newName) {
    room.blocks += std::ceil(static_cast<double>(size) / blockSize);
    if (newName) room.inodes += 1;
}

bool SameSource(const files::CopyRecord& a, const files::CopyRecord& b) {
    return a.sourceInode == b.sourceInode && a.size == b.size &&
           a.sourceModified.tv_sec == b.sourceModified.tv_sec &&
           a.sourceModified.tv_nsec == b.sourceModified.tv_nsec &&
           a.sourceChanged.tv_sec == b.sourceChanged.tv_sec &&
           a.sourceChanged.tv_nsec == b.sourceChanged.tv_nsec;
}

// Every file and folder below `folder`, all counted as written anew.
void AddTree(Room& room, const std::string& folder, double blockSize) {
    files::ForEachEntry(folder, [&](const std::string& name, unsigned char) {
        struct stat info {};
        const std::string path = JoinPath(folder, name);
        if (::lstat(path.c_str(), &info) != 0) return true;
        AddFile(room, S_ISREG(info.st_mode) ? info.st_size : 0, blockSize, true);
        if (S_ISDIR(info.st_mode)) AddTree(room, path, blockSize);
        return true;
    });
}

// Without records, a copy of the kept generation with the size and time of the newest one's is
// taken for unchanged: a copy bears its part file's time. `prefix`: the subfolder's, in
// subfolder mode.
void AddChangedByLook(Room& room, const GenerationFolders& f, const std::string& prefix,
                      double blockSize) {
    const std::string newest = JoinPath(f.backup, prefix);
    files::ForEachEntry(newest, [&](const std::string& name, unsigned char) {
        if (prefix.empty() && name == kExtrasFolder) return true;
        const std::string place = prefix.empty() ? name : JoinPath(prefix, name);
        struct stat copy {};
        struct stat kept {};
        if (::lstat(JoinPath(f.backup, place).c_str(), &copy) != 0) return true;
        const bool there = ::lstat(JoinPath(f.discard, place).c_str(), &kept) == 0;
        if (S_ISDIR(copy.st_mode)) {
            if (!there) AddFile(room, 0, blockSize, true);
            if (prefix.empty()) AddChangedByLook(room, f, name, blockSize);
        } else if (S_ISREG(copy.st_mode) && (!there || kept.st_size != copy.st_size ||
                                             kept.st_mtim.tv_sec != copy.st_mtim.tv_sec ||
                                             kept.st_mtim.tv_nsec != copy.st_mtim.tv_nsec)) {
            AddFile(room, copy.st_size, blockSize, !there);
        }
        return true;
    });
}

// The additional files and the record that the next run writes; the record `recordTimes` over.
void AddOwnFiles(Room& room, const GenerationFolders& f, double blockSize, int recordTimes) {
    // Right after the rotation the newest generation has no additional files yet.
    const std::string extras = JoinPath(f.backup, kExtrasFolder);
    AddTree(room, files::IsFolder(extras) ? extras : JoinPath(f.old, kExtrasFolder), blockSize);
    struct stat record {};
    if (::lstat(JoinPath(f.backup, kRecordName).c_str(), &record) == 0) {
        for (int k = 0; k < recordTimes; ++k) AddFile(room, record.st_size, blockSize, true);
    }
}

// What the next run writes into the kept generation when its part files stay as they are now:
// the copies whose records there do not hold, each whole (a file system that copies on write
// needs the whole file anew), new names with an inode each, the additional files and the record.
Room NextRunNeeds(const GenerationFolders& f, double blockSize) {
    Room room;
    const CopyRecords newest = LoadCopyRecords(f.backup);
    const CopyRecords kept = LoadCopyRecords(f.discard);
    if (newest.empty() || kept.empty()) {
        AddChangedByLook(room, f, "", blockSize);
    } else {
        // Both come sorted from the disk, which Find needs.
        for (std::size_t k = 0; k < newest.size(); ++k) {
            const files::CopyRecord* there = kept.Find(newest.PlaceAt(k));
            if (there == nullptr || !SameSource(*there, newest.RecordAt(k))) {
                AddFile(room, newest.RecordAt(k).size, blockSize, there == nullptr);
            }
        }
    }
    AddOwnFiles(room, f, blockSize, 1);
    return room;
}

// The most NextRunNeeds can find where the newest generation holds `staged` and its own files
// besides: each copy anew under a new name, and the record twice, since a look without records
// counts it as a copy too.
Room NextRunNeedsAtMost(const GenerationFolders& f, const StagedCopies& staged, double blockSize) {
    Room room;
    room.blocks = std::ceil(static_cast<double>(staged.bytes) / blockSize) +
                  static_cast<double>(staged.files);
    room.inodes = static_cast<double>(staged.files + staged.subfolders) + 1;  // and the mark
    AddOwnFiles(room, f, blockSize, 2);
    return room;
}

// The share of the disk's space and inodes that stays free after the next run. A kept
// generation is thrown away once less would stay free than the lower mark, and one is kept again
// only once the higher mark is reached, so that a disk near a mark does not swap between
// keeping and removing thousands of files from run to run.
constexpr double kKeepWhileFree = 0.05;
constexpr double kKeepAgainOnceFree = 0.075;

bool RoomToKeep(const GenerationFolders& f, bool keptBefore, const StagedCopies* staged = nullptr) {
    const double mark = keptBefore ? kKeepWhileFree : kKeepAgainOnceFree;
    struct statvfs info {};
    if (::statvfs(ParentPath(f.discard).c_str(), &info) != 0 || info.f_blocks == 0) return false;
    const auto enough = [&](const Room& need) {
        const double blocks = static_cast<double>(info.f_bavail) - need.blocks;
        const double inodes = static_cast<double>(info.f_favail) - need.inodes;
        return blocks >= mark * static_cast<double>(info.f_blocks) &&
               (info.f_files == 0 || inodes >= mark * static_cast<double>(info.f_files));
    };
    // A run never writes more than the disk holds: a disk with that much room to spare keeps
    // the generation unlooked at.
    const Room everything{static_cast<double>(info.f_blocks - info.f_bfree),
                          static_cast<double>(info.f_files - info.f_ffree)};
    if (enough(everything)) return true;
    const double blockSize = info.f_frsize != 0 ? static_cast<double>(info.f_frsize) : 4096.0;
    // Tens of thousands of records are read twice only where the answer depends on them.
    if (staged != nullptr && enough(NextRunNeedsAtMost(f, *staged, blockSize))) return true;
    return enough(NextRunNeeds(f, blockSize));
}

// The generation thrown away stays, hidden, for the next run to overwrite: rewriting files
// costs far less than removing thousands and creating them anew. Where the disk would be left
// without room (see RoomToKeep) it is removed on a worker thread instead: the next rotation and
// the program's end wait for it, and a removal cut short by a kill is finished by the next run.
// `keptBefore`: the run reused a kept generation, or one is there before the run.
// `staged`: see PromoteGeneration.
void KeepOrDiscard(TabfFileOperation& op, BackgroundRemoval& removal, const GenerationFolders& f,
                   bool keptBefore, const StagedCopies* staged = nullptr) {
    if (!files::Exists(f.discard) || RoomToKeep(f, keptBefore, staged)) return;
    op.AnnounceChange();
    removal.Start(f.discard, kOwnMark);
}

// Leaves in `folder` only regular files that this run writes and, at the top, the subfolders
// that hold such files; everything else (names no longer backed up, the extras folder, links,
// anything a user put there) goes. `listed`: the folder's entries from an earlier listing that
// still holds (see FolderListing), else it is listed here. False when something could not be
// removed.
bool KeepOnlyNamesWritten(TabfFileOperation& op, const std::string& folder,
                          const std::string& prefix,
                          const std::unordered_set<std::string_view>& written,
                          const std::set<std::string>& subfolders,
                          const FolderListing* listed = nullptr) {
    std::vector<std::string> unwanted;
    std::vector<std::string> deeper;
    const auto visit = [&](const std::string& name, unsigned char type) {
        if (type == DT_UNKNOWN) {
            struct stat info {};
            if (::lstat(JoinPath(folder, name).c_str(), &info) == 0) {
                type = S_ISREG(info.st_mode) ? DT_REG : S_ISDIR(info.st_mode) ? DT_DIR : DT_LNK;
            }
        }
        // The mark stays; the record is rewritten in place once the copies are made.
        const bool kept =
            (prefix.empty() ? written.count(name) != 0 : written.count(prefix + name) != 0) ||
            (prefix.empty() && (name == kOwnMark || name == kRecordName));
        if (type == DT_REG && kept) return true;
        if (type == DT_DIR && prefix.empty() && subfolders.count(name) != 0) {
            deeper.push_back(name);
        } else {
            unwanted.push_back(JoinPath(folder, name));
        }
        return true;
    };
    if (listed != nullptr) {
        listed->ForEach(visit);
    } else if (!files::ForEachEntry(folder, visit)) {
        return false;
    }
    for (const std::string& path : unwanted) {
        op.SetFileList({path});
        if (!op.Delete()) return false;
    }
    for (const std::string& name : deeper) {
        if (!KeepOnlyNamesWritten(op, JoinPath(folder, name), name + "/", written, subfolders)) {
            return false;
        }
    }
    return true;
}

// Makes the kept generation the staging folder, holding only files under names this run
// writes; the copies then overwrite them, and only new names are created. `known` receives the
// records of its copies. Nothing happens when there is none or it is not plainly a folder of this
// disk. A staging folder that could not be cleared is removed, and the run starts from an empty
// one as before; fails when even that failed: what is left must not become a generation.
// `listing`: see StageGeneration; it is emptied.
StepResult ReuseKeptGeneration(TabfFileOperation& op, BackgroundRemoval& removal,
                               const std::vector<PartFileJob>& jobs,
                               const std::set<std::string>& subfolders, const GenerationFolders& f,
                               FolderListing& listing, bool trustRecords, CopyRecords& known) {
    FolderListing checked;
    std::swap(checked, listing);
    struct stat kept {};
    struct stat parent {};
    if (removal.Removes(f.discard) || ::lstat(f.discard.c_str(), &kept) != 0 ||
        !S_ISDIR(kept.st_mode) || ::stat(ParentPath(f.discard).c_str(), &parent) != 0 ||
        kept.st_dev != parent.st_dev || !files::Exists(JoinPath(f.discard, kOwnMark))) {
        return {};
    }
    op.AnnounceChange();
    if (!files::MoveTree(f.discard, f.staging, false)) return {};
    // A rename keeps a folder's modification time. Where times are not to be trusted, an entry
    // made since the check could go unseen (and stay): the folder is listed again.
    const bool unchanged = trustRecords && StillAsListed(f.staging, checked);
    bool cleared = false;
    {
        // The jobs outlive the set: their places are looked up without a copy of each.
        std::unordered_set<std::string_view> written;
        written.reserve(jobs.size());
        for (const PartFileJob& job : jobs) written.insert(job.place);
        cleared = KeepOnlyNamesWritten(op, f.staging, "", written, subfolders,
                                       unchanged ? &checked : nullptr);
    }
    // Neither the listing nor the set is held while the records are read: with many part files,
    // that is when a run needs the most memory.
    checked = {};
    if (cleared) {
        if (trustRecords) known = LoadCopyRecords(f.staging);
        return {};
    }
    return DeleteIfPresent(op, f.staging);
}

// Makes the staging folder and its mark, relative to B's parent held open, so that nothing is
// made where a vanished disk was mounted.
StepResult MakeStagingFolder(TabfFileOperation& op, files::FolderAnchor& parent,
                             const GenerationFolders& f) {
    op.SetFileList({f.staging});
    const StepResult made = op.MakeFolder(&parent);
    return made ? EnsureOwnMark(op, f.staging) : made;
}

// The rotation, and the rename that marks the staged generation complete right before it,
// rename only names in B's parent folder, each without a sync of it (FolderSync::ByCaller).
// One sync makes them all durable, at the latest when this goes out of scope; the file systems
// journal renames in their order, so a power cut leaves some first of them done, as a kill
// would, and the repair goes on from there.
class RenamesSyncedAtOnce {
  public:
    explicit RenamesSyncedAtOnce(const std::string& folder) : folder_(folder) {}
    ~RenamesSyncedAtOnce() { Sync(); }
    RenamesSyncedAtOnce(const RenamesSyncedAtOnce&) = delete;
    RenamesSyncedAtOnce& operator=(const RenamesSyncedAtOnce&) = delete;
    void Sync() {
        if (synced_) return;
        synced_ = true;
        files::SyncFolder(folder_);
    }

  private:
    std::string folder_;
    bool synced_ = false;
};

// Whether a step failed for want of inodes rather than of space.
bool OutOfInodes(const StepResult& step, const GenerationFolders& f) {
    return !step && step.error == ENOSPC && files::HasNoFreeInodes(ParentPath(f.staging));
}

// The backup folder's path with a dot before its last element, so that listings, file managers
// and folder choosers hide the folder: /srv/backup gives /srv/.backup + suffix.
std::string HiddenSibling(const std::string& backupFolder, const char* suffix) {
    const std::size_t slash = backupFolder.rfind('/');
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    return backupFolder.substr(0, name) + "." + backupFolder.substr(name) + suffix;
}

}  // namespace

GenerationFolders::GenerationFolders(const std::string& backupFolder)
    : backup(backupFolder),
      old(backupFolder + kOldSuffix),
      staging(HiddenSibling(backupFolder, kStagingSuffix)),
      complete(HiddenSibling(backupFolder, kCompleteSuffix)),
      discard(HiddenSibling(backupFolder, kDiscardSuffix)),
      formerStaging(backupFolder + kStagingSuffix),
      formerComplete(backupFolder + kCompleteSuffix),
      formerDiscard(backupFolder + kDiscardSuffix) {}

StepResult TakeOverFormerNames(TabfFileOperation& op, const GenerationFolders& f) {
    const std::pair<const std::string*, const std::string*> moves[] = {
        {&f.formerComplete, &f.complete},
        {&f.formerStaging, &f.staging},
        {&f.formerDiscard, &f.discard}};
    for (const auto& [former, current] : moves) {
        struct stat info {};
        if (::lstat(former->c_str(), &info) != 0 || IsForeignHiddenFolder(*former)) continue;
        StepResult done;
        if (::lstat(current->c_str(), &info) != 0) {
            done = MoveTo(op, *former, *current);
        } else if (former == &f.formerComplete) {
            done = {false, *former, EEXIST};
        } else {
            done = DeleteIfPresent(op, *former);
        }
        if (!done) return done;
    }
    return {};
}

StepResult RepairGenerations(TabfFileOperation& op, BackgroundRemoval& removal,
                             const GenerationFolders& f) {
    StepResult done = TakeOverFormerNames(op, f);
    // A staging folder is never complete: its name changes once it is.
    if (done) done = DeleteIfPresent(op, f.staging);
    if (!done) return done;
    if (files::Exists(f.complete)) return PromoteGeneration(op, removal, f);
    // Left by a kill between the two renames of a version without the swap.
    if (!files::Exists(f.backup) && files::IsFolder(f.old)) done = MoveTo(op, f.old, f.backup);
    if (done) done = DeleteIfPresent(op, JoinPath(f.backup, kNewestMark));
    if (!done) return done;
    // A removal of the last run's discard folder goes on while this run copies; only one that
    // nobody removes (the run that started it was killed) is taken up again, or kept.
    if (!removal.Removes(f.discard)) KeepOrDiscard(op, removal, f, true);
    return {};
}

bool RepairNeeded(const BackgroundRemoval& removal, const GenerationFolders& f) {
    return files::Exists(f.formerStaging) || files::Exists(f.formerComplete) ||
           files::Exists(f.formerDiscard) || files::Exists(f.staging) ||
           files::Exists(f.complete) || (!files::Exists(f.backup) && files::IsFolder(f.old)) ||
           files::Exists(JoinPath(f.backup, kNewestMark)) ||
           (!removal.Removes(f.discard) && files::Exists(f.discard) && !RoomToKeep(f, true));
}

StagingResult StageGeneration(TabfFileOperation& op, BackgroundRemoval& removal,
                              const std::vector<PartFileJob>& jobs, const GenerationFolders& f,
                              files::FolderAnchor& parent, const files::FolderAnchor& temp,
                              FolderListing kept, bool trustRecords,
                              const std::function<void()>& pause, PartFileCopies& copies,
                              PartFileProgress* progress) {
    const auto failed = [&](const StepResult& step) {
        return StagingResult{StageResult::Failed, step, false, OutOfInodes(step, f)};
    };
    // A complete generation is put in place by the repair first; it is never overwritten.
    if (files::Exists(f.complete)) return failed({false, "", 0});
    if (const StepResult removed = DeleteIfPresent(op, f.staging); !removed) {
        return failed(removed);
    }
    // The subfolders of the temp folder that part files come from (subfolder mode).
    std::set<std::string> subfolders;
    for (const PartFileJob& job : jobs) {
        const auto slash = job.place.find('/');
        if (slash != std::string::npos) subfolders.insert(job.place.substr(0, slash));
    }
    CopyRecords known;
    files::FolderAnchor staging;
    if (const StepResult reused =
            ReuseKeptGeneration(op, removal, jobs, subfolders, f, kept, trustRecords, known);
        !reused) {
        return failed(reused);
    }
    const bool fresh = !files::Exists(f.staging);
    if (const StepResult made = MakeStagingFolder(op, parent, f); !made) return failed(made);
    if (!staging.Open(f.staging)) return failed({false, "", 0});
    const StepResult copied =
        CopyPartFiles(op, staging, fresh, jobs, known, temp, pause, copies, progress);
    if (!copied || copies.written == 0) {
        // Asked before the removal of what was staged frees inodes again.
        const bool noInodes = OutOfInodes(copied, f);
        // A run that lost its temp folder changes no generation: the one it reused stays kept
        // (its record no longer matches the files it overwrote, which are read again).
        if (!copies.sourceGone.empty() && !fresh && MoveTo(op, f.staging, f.discard)) {
            return {StageResult::Failed, copied, false, noInodes};
        }
        // A staging folder that vanished with its disk is not made again by its removal.
        if (staging.StillThere()) DeleteIfPresent(op, f.staging);
        if (copied) return {StageResult::NothingStaged, {}};
        return {StageResult::Failed, copied, false, noInodes};
    }
    // A subfolder whose files were all left out (their downloads completed) has no place in the
    // generation; rmdir removes only an empty one.
    for (const std::string& subfolder : subfolders) {
        ::rmdir(JoinPath(f.staging, subfolder).c_str());
    }
    // Without its record the next run only reads the files again. A generation whose copies were
    // all kept as its record file tells keeps that file: it was made durable with the generation.
    if (trustRecords && (known.empty() || !SameTrustedRecords(copies.records, known))) {
        SaveCopyRecords(f.staging, copies.records);
    }
    // The first step that fails is the one told, not the removal of what it left.
    StepResult done = {false, "", 0};
    if (staging.StillThere()) {
        op.SetFileList({JoinPath(f.staging, kNewestMark)});
        done = op.CreateEmpty();
    }
    if (done) {
        op.SetFileList({f.staging});
        done = op.Flush();
        // The rotation that follows at once syncs this rename along with its own.
        if (done) done = MoveTo(op, f.staging, f.complete, FolderSync::ByCaller);
    }
    if (done) return {StageResult::Staged, {}, !fresh};
    if (staging.StillThere()) DeleteIfPresent(op, f.staging);
    return failed(done);
}

std::optional<StagedCopies> StagedCopiesOf(const PartFileCopies& copies) {
    StagedCopies staged;
    std::set<std::string_view> subfolders;
    for (std::size_t k = 0; k < copies.records.size(); ++k) {
        const files::CopyRecord& record = copies.records.RecordAt(k);
        if (!record.trusted) continue;
        ++staged.files;
        staged.bytes += static_cast<std::uint64_t>(std::max<off_t>(record.size, 0));
        const std::string_view place = copies.records.PlaceAt(k);
        const std::size_t slash = place.find('/');
        if (slash != std::string_view::npos) subfolders.insert(place.substr(0, slash));
    }
    if (staged.files != copies.written) return std::nullopt;
    staged.subfolders = subfolders.size();
    return staged;
}

StepResult PromoteGeneration(TabfFileOperation& op, BackgroundRemoval& removal,
                             const GenerationFolders& f, bool keptBefore,
                             const StagedCopies* staged) {
    RenamesSyncedAtOnce renames(ParentPath(f.backup));
    StepResult done;
    // A marked B means the swap is already done and the complete folder holds its predecessor.
    if (files::Exists(f.backup) && !HasMark(f.backup)) {
        done = SetOldAside(op, removal, f);
        if (!done) return done;
        op.SetFileList({f.complete});
        op.DestFolder = f.backup;
        done = op.Exchange(FolderSync::ByCaller);
        // Where the file system cannot swap, B is missing for a moment; a run or restore that
        // follows a kill just then finds the complete generation and puts it in place.
        if (!done && (done.error == EINVAL || done.error == ENOSYS)) {
            done = MoveTo(op, f.backup, f.old, FolderSync::ByCaller);
        }
        if (!done) return done;
    }
    if (!files::Exists(f.backup)) {
        done = MoveTo(op, f.complete, f.backup, FolderSync::ByCaller);
    } else if (files::Exists(f.complete)) {
        done = SetOldAside(op, removal, f);
        if (done) done = MoveTo(op, f.complete, f.old, FolderSync::ByCaller);
    }
    if (!done) return done;
    // The mark goes only once the new B is durable.
    renames.Sync();
    done = DeleteIfPresent(op, JoinPath(f.backup, kNewestMark));
    if (!done) return done;
    KeepOrDiscard(op, removal, f, keptBefore, staged);
    return {};
}

std::vector<std::string> ExtrasFolders(const GenerationFolders& f) {
    std::vector<std::string> found;
    std::function<void(const std::string&)> collect = [&](const std::string& folder) {
        struct stat info {};
        if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return;
        found.push_back(folder);
        files::ForEachEntry(folder, [&](const std::string& name, unsigned char type) {
            if (type == DT_DIR || type == DT_UNKNOWN) collect(JoinPath(folder, name));
            return true;
        });
    };
    for (const std::string& generation : {f.backup, f.old}) {
        collect(JoinPath(generation, kExtrasFolder));
    }
    return found;
}

void RemoveCopyLeftovers(TabfFileOperation& op, const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        // Only the names of leftovers become paths: a temp folder lists thousands of others.
        std::vector<std::string> leftovers;
        files::ForEachEntry(folder, [&](const std::string& name, unsigned char) {
            if (files::IsOwnTempName(name)) leftovers.push_back(JoinPath(folder, name));
            return true;
        });
        RemoveLeftoverFiles(op, leftovers);
    }
}

void RemoveLeftoverFiles(TabfFileOperation& op, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        struct stat info {};
        if (!files::IsOwnTempName(LastElement(path)) || ::lstat(path.c_str(), &info) != 0 ||
            !S_ISREG(info.st_mode))
            continue;
        op.SetFileList({path});
        op.Delete();
    }
}

}  // namespace hw
