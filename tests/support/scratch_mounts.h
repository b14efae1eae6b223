// Mounts for tests that need a second view of a folder or another file system; all are undone
// when the object goes (declare it after the folders it mounts on). Needs root and the tools;
// each call says why it could not mount, so that the test can skip with that reason.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace hw::test {

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
};

}  // namespace hw::test
