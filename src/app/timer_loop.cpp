#include "app/timer_loop.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>

#include "ui/main_form.h"

namespace hw {

namespace {

using Clock = std::chrono::steady_clock;

struct Countdown {
    Timer* timer;
    bool armed = false;
    unsigned generation = 0;
    Clock::time_point due{};
};

}  // namespace

sigset_t EndingSignals() {
    sigset_t ending;
    sigemptyset(&ending);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&ending, signal);
    return ending;
}

int RunTimersUntilSignal(MainForm& form, const std::vector<Timer*>& timers) {
    const sigset_t ending = EndingSignals();
    const int signals = signalfd(-1, &ending, SFD_CLOEXEC);
    if (signals < 0) return -1;
    std::vector<Countdown> countdowns;
    for (Timer* timer : timers) countdowns.push_back({timer, false, 0, {}});
    for (;;) {
        Clock::time_point now = Clock::now();
        int waitMs = -1;
        for (Countdown& c : countdowns) {
            if (!c.timer->running()) {
                c.armed = false;
                continue;
            }
            // A new interval or a restart counts from now, as the window's clocks do.
            if (!c.armed || c.generation != c.timer->countdownGeneration()) {
                c.armed = true;
                c.generation = c.timer->countdownGeneration();
                c.due = now + std::chrono::milliseconds(c.timer->interval());
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(c.due - now).count();
            const int ms = left > 0 ? static_cast<int>(left) : 0;
            if (waitMs < 0 || ms < waitMs) waitMs = ms;
        }
        // The programs we started are waited for alongside: one that ends is restarted at once.
        // An ended program waits to be reaped before its restart: looked at again shortly.
        const bool reaping = form.ReapPending();
        if (reaping && (waitMs < 0 || waitMs > 200)) waitMs = 200;
        std::vector<pollfd> entries{{signals, POLLIN, 0}};
        for (const int watch : form.EndWatchDescriptors()) entries.push_back({watch, POLLIN, 0});
        const int ready = poll(entries.data(), entries.size(), waitMs);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0 && entries[0].revents != 0) {
            signalfd_siginfo info{};
            if (read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                close(signals);
                return static_cast<int>(info.ssi_signo);
            }
        }
        bool ended = false;
        for (std::size_t i = 1; i < entries.size(); ++i) ended = ended || entries[i].revents != 0;
        // The form lets go of every watch that has ended, so none is reported twice.
        if (ended || reaping) form.Dispatch([&form] { form.StartedProgramEnded(); });
        now = Clock::now();
        for (Countdown& c : countdowns) {
            if (!c.armed || c.due > now) continue;
            c.due = now + std::chrono::milliseconds(c.timer->interval());
            form.Dispatch([&c] { c.timer->tick(); });
        }
    }
    close(signals);
    return -1;
}

}  // namespace hw
