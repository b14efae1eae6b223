#include "app/timer_loop.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <exception>

#include "app/console_services.h"
#include "base/errors.h"
#include "supervision/observer.h"

namespace hw {

namespace {

using Clock = std::chrono::steady_clock;

// A step's error is told as the window's error report tells it; the service keeps running.
void Guarded(const std::function<void()>& step, Console& console) {
    try {
        step();
    } catch (const std::exception& error) {
        console.Tell(Severity::Error, WithFullStop(error.what()));
    } catch (...) {
        console.Tell(Severity::Error, "Unknown error.");
    }
}

}  // namespace

sigset_t EndingSignals() {
    sigset_t ending;
    sigemptyset(&ending);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&ending, signal);
    return ending;
}

int RunUntilSignal(const Supervisor& supervisor, std::vector<Period>& periods,
                   const std::function<void()>& programEnded, const std::function<void()>& hangUp,
                   Console& console) {
    const sigset_t ending = EndingSignals();
    const int signals = signalfd(-1, &ending, SFD_CLOEXEC);
    if (signals < 0) return -1;
    // Each period's last step (the loop's start before the first), and when the next is due.
    std::vector<Clock::time_point> last(periods.size(), Clock::now());
    std::vector<Clock::time_point> due;
    auto reckon = [&] {
        last.resize(periods.size(), Clock::now());
        due.clear();
        for (std::size_t i = 0; i < periods.size(); ++i) {
            due.push_back(last[i] + periods[i].interval);
        }
    };
    reckon();
    for (;;) {
        Clock::time_point now = Clock::now();
        int waitMs = -1;
        for (const Clock::time_point& when : due) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - now).count();
            const int ms = left > 0 ? static_cast<int>(left) : 0;
            if (waitMs < 0 || ms < waitMs) waitMs = ms;
        }
        // The programs we started are waited for alongside: one that ends is restarted at once.
        // An ended program waits to be reaped before its restart: looked at again shortly.
        const bool reaping = supervisor.ReapPending();
        if (reaping && (waitMs < 0 || waitMs > 200)) waitMs = 200;
        std::vector<pollfd> entries{{signals, POLLIN, 0}};
        for (const int watch : supervisor.EndWatchDescriptors()) {
            entries.push_back({watch, POLLIN, 0});
        }
        const int ready = poll(entries.data(), entries.size(), waitMs);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0 && entries[0].revents != 0) {
            signalfd_siginfo info{};
            if (read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                if (info.ssi_signo != SIGHUP) {
                    close(signals);
                    return static_cast<int>(info.ssi_signo);
                }
                Guarded(hangUp, console);
                reckon();
            }
        }
        bool ended = false;
        for (std::size_t i = 1; i < entries.size(); ++i) ended = ended || entries[i].revents != 0;
        // The supervisor lets go of every watch that has ended, so none is reported twice.
        if (ended || reaping) Guarded(programEnded, console);
        now = Clock::now();
        for (std::size_t i = 0; i < periods.size(); ++i) {
            if (due[i] > now) continue;
            last[i] = now;
            due[i] = now + periods[i].interval;
            Guarded(periods[i].step, console);
        }
    }
    close(signals);
    return -1;
}

}  // namespace hw
