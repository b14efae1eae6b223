// Mounts for tests that need a second view of a folder or another file system; all are undone
// when the object goes (declare it after the folders it mounts on). Needs root and the tools;
// each call says why it could not mount, so that the test can skip with that reason.
#pragma once

#include <fcntl.h>
#include <linux/types.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace hw::test {

// Stops an ext4 file system as a power cut would: what was not committed to the journal is lost.
#ifndef EXT4_IOC_SHUTDOWN
#define EXT4_IOC_SHUTDOWN _IOR('X', 125, __u32)
#endif
#ifndef EXT4_GOING_FLAGS_NOLOGFLUSH
#define EXT4_GOING_FLAGS_NOLOGFLUSH 0x2
#endif

// Cuts the power of the disk of MountPowerCutDisk that holds `path` until Remount; false if not.
inline bool CutPower(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    __u32 flags = EXT4_GOING_FLAGS_NOLOGFLUSH;
    const bool cut = ::ioctl(fd, EXT4_IOC_SHUTDOWN, &flags) == 0;
    ::close(fd);
    return cut;
}

class ScratchMounts {
  public:
    ScratchMounts() = default;
    ScratchMounts(const ScratchMounts&) = delete;
    ScratchMounts& operator=(const ScratchMounts&) = delete;
    ~ScratchMounts() {
        for (auto it = mounted_.rbegin(); it != mounted_.rend(); ++it)
            Run("umount -l '" + *it + "'");
        for (const std::string& loop : loops_) Run("losetup -d '" + loop + "'");
    }

    // Binds `from` onto the existing folder `onto`. Empty when done, else the reason why not.
    std::string Bind(const std::string& from, const std::string& onto) {
        if (::geteuid() != 0) return "bind mounts need root";
        if (!Run("mount --bind '" + from + "' '" + onto + "'")) return "mount --bind not permitted";
        mounted_.push_back(onto);
        return "";
    }

    // A fresh 16 MB exFAT file system (case-insensitive like a USB disk) from an image file on
    // the existing folder `onto`: through the kernel's driver, or else through FUSE.
    std::string MountExfat(const std::string& image, const std::string& onto) {
        if (::geteuid() != 0) return "loop devices need root";
        for (const char* tool : {"mkfs.exfat", "losetup"}) {
            if (!Run(std::string("command -v ") + tool)) return std::string("no ") + tool;
        }
        if (!Run("truncate -s 16M '" + image + "' && mkfs.exfat '" + image + "'")) {
            return "mkfs.exfat failed";
        }
        const std::string loop = Output("losetup -f --show '" + image + "'");
        if (loop.empty()) return "no loop device";
        loops_.push_back(loop);
        if (!Run("mount -t exfat '" + loop + "' '" + onto + "'") &&
            !Run("mount.exfat-fuse '" + loop + "' '" + onto + "'")) {
            return "neither the kernel nor mount.exfat-fuse (package exfat-fuse) mounts exFAT";
        }
        mounted_.push_back(onto);
        return "";
    }

    // A fresh tmpfs of `megabytes` on the existing folder `onto`, with room for only `inodes`
    // files and folders when that is given.
    std::string MountTmpfs(const std::string& onto, int megabytes, int inodes = 0) {
        if (::geteuid() != 0) return "mounts need root";
        const std::string limit = inodes > 0 ? ",nr_inodes=" + std::to_string(inodes) : "";
        if (!Run("mount -t tmpfs -o size=" + std::to_string(megabytes) + "m" + limit + " tmpfs '" +
                 onto + "'"))
            return "mount -t tmpfs not permitted";
        mounted_.push_back(onto);
        return "";
    }

    // A fresh ext4 disk on `onto` (made if missing) where nothing unsynced survives CutPower: no
    // timed journal commit, no flush slipped in where a file replaces another. Its image lies on a
    // tmpfs of its own, so that its syncs wait for no other disk.
    std::string MountPowerCutDisk(const std::string& onto) {
        const std::string images = onto + ".image";
        if (!Run("command -v mkfs.ext4 && mkdir -p '" + onto + "' '" + images + "'")) {
            return "no mkfs.ext4";
        }
        const std::string why = MountTmpfs(images, 40);
        if (!why.empty()) return why;
        const std::string image = images + "/ext4.img";
        if (!Run("truncate -s 32M '" + image + "' && mkfs.ext4 -q '" + image + "'")) {
            return "mkfs.ext4 failed";
        }
        const std::string loop = Output("losetup -f --show '" + image + "'");
        if (loop.empty()) return "no loop device";
        loops_.push_back(loop);
        const std::string mount =
            "mount -t ext4 -o noauto_da_alloc,commit=600 " + loop + " '" + onto + "'";
        if (!Run(mount)) return "the kernel does not mount ext4 here";
        mounted_.push_back(onto);
        remounts_.push_back({onto, mount});
        return "";
    }

    // Mounts the disk on `onto` again as the power cut left it; nothing may be open there.
    bool Remount(const std::string& onto) {
        for (const auto& [folder, mount] : remounts_) {
            if (folder == onto) return Run("umount '" + onto + "'") && Run(mount);
        }
        return false;
    }

  private:
    static bool Run(const std::string& command) {
        return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
    }
    static std::string Output(const std::string& command) {
        std::string out;
        if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
            char buffer[256];
            while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
            if (::pclose(pipe) != 0) out.clear();
        }
        while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
        return out;
    }

    std::vector<std::string> mounted_;
    std::vector<std::string> loops_;
    std::vector<std::pair<std::string, std::string>> remounts_;  // folder, its mount command
};

}  // namespace hw::test
