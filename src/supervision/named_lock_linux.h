// A lock named by a file in the user's runtime folder. The kernel drops it when the holding
// process ends in any way, so a copy that died never blocks the next one.
#pragma once

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

  private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace hw
