// The command line's event loop: the periods of the supervision and the schedule in real time,
// and the ends of the programs it started, until an ending signal.
#pragma once

#include <signal.h>

#include <chrono>
#include <functional>
#include <vector>

namespace hw {

class Console;
class Supervisor;

// SIGTERM, SIGINT and SIGHUP.
sigset_t EndingSignals();

// A step done every `interval`, counted from the loop's start and then from its last step.
struct Period {
    std::chrono::milliseconds interval;
    std::function<void()> step;
};

// Does each period's step when due, and `programEnded` at once when a program that `supervisor`
// started has ended (and again shortly while one awaits its reaping), until SIGTERM or SIGINT
// arrives; SIGHUP calls `hangUp`, which may change `periods` (each is then due its new interval
// after its last step). The caller has blocked those signals, so a step under way finishes
// before the loop ends. A step that throws is told on the console and the loop goes on. Returns
// the signal's number; -1 when it cannot wait for signals.
int RunUntilSignal(const Supervisor& supervisor, std::vector<Period>& periods,
                   const std::function<void()>& programEnded, const std::function<void()>& hangUp,
                   Console& console);

}  // namespace hw
