// The model's timers in real time, for a run without a window and its message loop.
#pragma once

#include <signal.h>

#include <vector>

namespace hw {

class MainForm;
class Timer;

// Ticks each running timer once its interval has passed, counted from its last tick or (re)start,
// each tick through the form's dispatcher, and tells the form at once when a program it started
// has ended, until SIGTERM, SIGINT or SIGHUP arrives. The caller
// has blocked those signals, so a tick under way finishes before the loop ends. Returns the
// signal's number; -1 when it cannot wait for signals.
// SIGTERM, SIGINT and SIGHUP.
sigset_t EndingSignals();

int RunTimersUntilSignal(MainForm& form, const std::vector<Timer*>& timers);

}  // namespace hw
