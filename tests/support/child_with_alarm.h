#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace hw::test {

// Runs `work` in a child process that an alarm ends after a few seconds, so that a call that
// blocks fails the test instead of hanging it. The child's exit code; -1 when it was ended.
inline int InChildWithAlarm(const std::function<int()>& work) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(5);
        ::_exit(work());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return -2;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace hw::test
