// What lies at a path, and what the file system that holds it keeps: the questions the file
// steps ask before they act. Also the one open that takes nothing but a regular file.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <string>

namespace hw::files {

bool IsFolder(const std::string& path);
bool IsFile(const std::string& path);
bool Exists(const std::string& path);

// True when the file system holding `path` keeps real change times and stable inodes, so that a
// record of a file there can be trusted. Not so on FAT and exFAT disks nor through FUSE, where
// the change time may follow the modification time that any tool can set back.
bool KeepsRealChangeTimes(const std::string& path);

// True when the file system holding `path` counts its inodes and has none left free: a disk
// can be out of inodes with most of its space free, and says ENOSPC for either.
bool HasNoFreeInodes(const std::string& path);

// Every open of the file steps is without waiting (a pipe with no writer, a device); on a
// regular file the flag changes nothing, so it stays set.
constexpr int kOpenFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// Opens `path` with `flags` (and kOpenFlags) and keeps the descriptor only for a regular file:
// anything else could block a read forever or never end (EISDIR for a folder, EINVAL for the
// rest). `info` receives what was opened. A descriptor, or -1 with errno set.
int OpenRegular(const std::string& path, int flags, mode_t mode, struct stat& info);

}  // namespace hw::files
