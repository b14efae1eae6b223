// A file system mounted for the benchmark on a fresh folder, undone when the object goes. Needs
// root and the tools; each call says why it could not mount, so that the run can skip it.
#pragma once

#include <string>

namespace hw::bench {

// `text` as one word of a shell command.
std::string ShellQuoted(const std::string& text);

class ScratchMount {
  public:
    ScratchMount() = default;
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;
    ~ScratchMount();

    // Both mount below `base` and return an empty text when done, else the reason why not.
    std::string MountTmpfs(const std::string& base, long long bytes);
    // A sparse image file of `bytes` in `base` on a loop device, made with mkfs.`type` ("ext4" or
    // "exfat"); exFAT through the kernel's driver or else FUSE.
    std::string MountImage(const std::string& base, long long bytes, const std::string& type);

    const std::string& path() const { return path_; }
    // How it is mounted, for the table: "tmpfs", "ext4 image", "exfat image" or
    // "exfat-fuse".
    const std::string& kind() const { return kind_; }

  private:
    std::string MakeMountPoint(const std::string& base);

    std::string path_;
    std::string kind_;
    std::string image_;
    std::string loop_;
    bool mounted_ = false;
};

}  // namespace hw::bench
