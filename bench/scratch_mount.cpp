#include "scratch_mount.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace hw::bench {

namespace {

bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        if (::pclose(pipe) != 0) out.clear();
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

}  // namespace

std::string ShellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

ScratchMount::~ScratchMount() {
    if (mounted_ && !Run("umount " + ShellQuoted(path_))) Run("umount -l " + ShellQuoted(path_));
    if (!loop_.empty()) Run("losetup -d " + ShellQuoted(loop_));
    if (!image_.empty()) ::unlink(image_.c_str());
    if (!path_.empty()) ::rmdir(path_.c_str());
}

std::string ScratchMount::MakeMountPoint(const std::string& base) {
    std::string pattern = base + "/hoardwise-mount-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return "cannot make a mount point in " + base;
    path_ = pattern;
    return "";
}

std::string ScratchMount::MountTmpfs(const std::string& base, long long bytes) {
    if (::geteuid() != 0) return "mounts need root";
    if (std::string why = MakeMountPoint(base); !why.empty()) return why;
    if (!Run("mount -t tmpfs -o size=" + std::to_string(bytes) + " tmpfs " + ShellQuoted(path_)))
        return "mount -t tmpfs not permitted";
    mounted_ = true;
    kind_ = "tmpfs";
    return "";
}

std::string ScratchMount::MountImage(const std::string& base, long long bytes,
                                     const std::string& type) {
    if (::geteuid() != 0) return "loop devices need root";
    const bool exfat = type == "exfat";
    const std::string mkfs = "mkfs." + type;
    for (const std::string& tool : {mkfs, std::string("losetup")}) {
        if (!Run("command -v " + tool)) return "no " + tool;
    }
    std::string pattern = base + "/hoardwise-" + type + "-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return "cannot make an image file in " + base;
    ::close(fd);
    image_ = pattern;
    // exFAT: 4 KB clusters, or with the default for this size (32 KB) every small file takes
    // eight times the room. ext4: an inode per 8 KB for the many small files, and its tables
    // written now rather than by a kernel thread while the sides are timed.
    const std::string options =
        exfat ? " -c 4K " : " -q -F -i 8192 -E lazy_itable_init=0,lazy_journal_init=0 ";
    if (!Run("truncate -s " + std::to_string(bytes) + " " + ShellQuoted(image_) + " && " + mkfs +
             options + ShellQuoted(image_))) {
        return mkfs + " failed";
    }
    loop_ = Output("losetup -f --show " + ShellQuoted(image_));
    if (loop_.empty()) return "no loop device";
    if (std::string why = MakeMountPoint(base); !why.empty()) return why;
    if (Run("mount -t " + type + " " + ShellQuoted(loop_) + " " + ShellQuoted(path_))) {
        kind_ = type + " image";
    } else if (exfat && Run("mount.exfat-fuse " + ShellQuoted(loop_) + " " + ShellQuoted(path_))) {
        kind_ = "exfat-fuse";
    } else {
        return exfat ? "neither the kernel nor mount.exfat-fuse (package exfat-fuse) mounts exFAT"
                     : "the kernel does not mount " + type;
    }
    mounted_ = true;
    return "";
}

}  // namespace hw::bench
