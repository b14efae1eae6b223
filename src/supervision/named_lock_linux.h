// A lock named by a file in the user's runtime folder. The kernel drops it when the holding
// process ends in any way, so a copy that died never blocks the next one.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace hw {

class NamedLock {
  public:
    explicit NamedLock(std::string path) : path_(std::move(path)) {}
    ~NamedLock();
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    // Takes the lock without waiting. False when another holder has it or the file cannot be
    // created.
    bool TryLock();
    void Unlock();
    bool Locked() const { return fd_ >= 0; }
    // Writes who holds the lock into its file, for a copy that finds it taken to tell the user.
    bool SetHolder(const std::string& text);
    // What the holder wrote; empty when nothing can be read.
    static std::string Holder(const std::string& path);
    const std::string& path() const { return path_; }

    // The user's private runtime folder ($XDG_RUNTIME_DIR or /run/user/UID), else a folder of
    // the user's own in the temp folder. Empty when none can be had safely.
    static std::string RuntimeFolder();
    // The lock file `kind` ("Default": held by the running copy, "CriticalSection": held while
    // a copy tests it) of the program's one copy per user, in RuntimeFolder(). Empty without
    // that folder.
    static std::string InstancePath(const std::string& kind);
    // The lock file of a backup folder (a BackupFolderName) in RuntimeFolder(), named after the
    // folder's path, the same for every version of the program. Empty without that folder.
    static std::string FolderPath(const std::string& name);

  private:
    std::string path_;
    int fd_ = -1;
};

// The lock of one backup folder at a time, held for this process by every run that writes it
// (a backup, a restore with its repair), whoever runs it: two runs never write one folder at
// once. It is kept after the run, until a run asks for another folder. A backup folder's runs
// are its owner's alone (others are refused by name), so the owner's runtime folder is where
// its lock lies; a backup folder on a read-only or foreign disk needs no file of its own.
class BackupFolderLock {
  public:
    // `holder`: what a run that finds the lock taken is told ("window 1234", "run 1234").
    explicit BackupFolderLock(std::string holder) : holder_(std::move(holder)) {}

    struct Result {
        bool held = false;   // by this process, now or from an earlier run
        std::string holder;  // otherwise who holds it, as written; empty when unknown
        std::string path;    // the lock file
        int error = 0;       // why the lock file could not be made (0: someone holds it)
    };
    // Takes the folder's lock without waiting. A lock held on another folder is given up once
    // the new one is taken, after `beforeRelease` (which finishes the work on the old one). A
    // text that is no full path is no folder and counts as held.
    Result Hold(const std::string& folder, const std::function<void()>& beforeRelease = {});

  private:
    std::string holder_;
    std::string name_;  // the folder held
    std::unique_ptr<NamedLock> lock_;
};

}  // namespace hw
