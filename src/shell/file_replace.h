// Renames, replacements and syncs: the steps that put a finished file in its place so that a
// reader sees the old content or the new one in full, and make the result durable. Each returns
// false with errno set when it fails.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace hw::files {

// A finished copy left under its temporary name beside its target (see CopyOptions::staged).
struct StagedCopy {
    std::string written;
    std::string target;
};

// Writes a new file beside `target` through `fill`, under a temporary name of its own (created
// with `mode`, less the umask) that `written` receives; synced when `sync`. On failure the file
// is gone.
bool WriteNewBeside(const std::string& target, const std::function<bool(int fd)>& fill, bool sync,
                    std::string& written, mode_t mode = 0600);
// Puts a new file in the place of `target`, so that a reader sees either the old content or the
// new one in full: `fill` writes the new file (open under a temporary name beside the target,
// mode 0600 until it sets another), which is then synced and renamed over the target, and the
// folder is synced. `beforeRename` runs right before the rename. On failure the temporary file
// is gone and the target untouched.
bool ReplaceFile(const std::string& target, const std::function<bool(int fd)>& fill,
                 const std::function<void()>& beforeRename = {});
// Makes the staged copies durable with one sync of each file system they lie on, then renames
// each over its target (calling `beforeRename` first) and syncs each folder once. A target thus
// holds its old content or the whole copy at any moment, and what a kill leaves are temporary
// files (IsOwnTempName). A copy that cannot be put in place is removed; false with errno of the
// first failure, whose target `failedAt` receives.
bool PutStagedInPlace(const std::vector<StagedCopy>& staged, std::string& failedAt,
                      const std::function<void()>& beforeRename = {});
// Renames; across file systems copies and then removes the source. The folders of both names
// are synced unless `syncFolders` is false (the caller syncs once after several renames).
bool MoveTree(const std::string& source, const std::string& target, bool syncFolders = true);
// Swaps two paths in one step, so that neither name is ever missing. Fails with EINVAL (or
// ENOSYS) where the file system or kernel cannot do that.
bool ExchangePaths(const std::string& first, const std::string& second, bool syncFolders = true);
// Creates an empty file (replacing one that is there).
bool CreateEmptyFile(const std::string& path);

// True for the name of a temporary file that a copy or replacement makes and renames away when
// done: a leftover of one cut short, and nothing else. Also matches the longer names that
// earlier versions used (the target's name between "." and ".hws-tmp.").
bool IsOwnTempName(const std::string& name);

// One sync of the whole file system that holds `path`.
bool SyncFileSystem(const std::string& path);
// fsync of every file and folder below `path`, folders after their contents.
bool SyncTree(const std::string& path);
// fsync of the folder itself, so that renames and new names in it are durable.
bool SyncFolder(const std::string& path);

}  // namespace hw::files
