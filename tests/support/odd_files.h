// Pipes, devices and sockets for tests, made inside the test's own folder: a link to one of the
// machine's own would let a fault (or a clean-up run as root) change it.
#pragma once

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace hw::test {

// A special file of the given kind ("pipe", "device", "socket") at `path`; false when it cannot
// be made here. The device reads like /dev/zero: endless.
inline bool MakeSpecial(const std::string& kind, const std::string& path) {
    if (kind == "pipe") return ::mkfifo(path.c_str(), 0644) == 0;
    if (kind == "device") return ::mknod(path.c_str(), S_IFCHR | 0644, makedev(1, 5)) == 0;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

}  // namespace hw::test
