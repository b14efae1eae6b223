#include "supervision/restart_guard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace hw {

namespace {

constexpr std::time_t kPauses[] = {60, 120, 300, 600};
constexpr int kLastPause = static_cast<int>(sizeof kPauses / sizeof kPauses[0]) - 1;

}  // namespace

void RestartGuard::Started(std::time_t now) {
    startedAt_ = now;
}

bool RestartGuard::Ended(std::time_t now) {
    if (!startedAt_) return false;
    // A clock put back counts the end as quick: too long a pause is the lesser harm.
    const bool quick = now - *startedAt_ <= kQuickEndSeconds;
    startedAt_.reset();
    if (!quick) {
        quickEnds_ = 0;
        pauses_ = 0;
        held_ = false;
        return false;
    }
    ++quickEnds_;
    if (!held_ && quickEnds_ < kQuickEndsToHold) return false;
    const bool began = !held_;
    held_ = true;
    heldAt_ = now;
    pause_ = kPauses[std::min(pauses_, kLastPause)];
    pauses_ = std::min(pauses_ + 1, kLastPause);
    return began;
}

bool RestartGuard::MayStart(std::time_t now) const {
    return !held_ || now < heldAt_ || now - heldAt_ >= pause_;
}

void RestartGuard::Reset() {
    quickEnds_ = 0;
    pauses_ = 0;
    held_ = false;
}

long AmuleLockHolder(const std::string& configFolder) {
    // Not followed through a link, never a pipe or device, and only its first bytes: it is
    // aMule's file, and anyone may have put something else there.
    const int fd =
        open((configFolder + "/muleLock").c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat info {};
    char text[24] = {};
    ssize_t n = -1;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        do {
            n = read(fd, text, sizeof text - 1);
        } while (n < 0 && errno == EINTR);
    }
    close(fd);
    long pid = 0;
    for (ssize_t i = 0; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (pid > 99999999) return 0;
        pid = pid * 10 + (text[i] - '0');
    }
    return pid;
}

}  // namespace hw
