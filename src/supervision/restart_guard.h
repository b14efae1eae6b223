// Restarting a watched program without ending up in a loop: a program that ends right after each
// start (aMule on a lock it takes for another copy's, a broken AppRunner program) is held back
// after a few starts and tried again at growing pauses.
#pragma once

#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "base/services.h"

namespace hw {

class RestartGuard {
  public:
    // A start that ends within this many seconds counts as a quick end.
    static constexpr std::time_t kQuickEndSeconds = 30;
    // Quick ends in a row that hold the restarts back.
    static constexpr int kQuickEndsToHold = 3;

    // A start of ours was made.
    void Started(std::time_t now);
    // The program was found gone. Only the end of a start of ours counts; a quick one holds the
    // restarts back once it is the third in a row, and while held each quick end makes the next
    // pause longer. True when this end began the hold: the user is told once.
    bool Ended(std::time_t now);
    // False while held and the pause since the last end has not run out. A clock put back to
    // before that end lets the start go, rather than waiting for the clock to catch up.
    bool MayStart(std::time_t now) const;
    // The user asked for the program again: no hold, and the count starts afresh.
    void Reset();
    bool held() const { return held_; }
    // The pause of the current hold, in seconds: 1, 2, 5, 10, then 10 minutes.
    std::time_t pause() const { return pause_; }

  private:
    std::optional<std::time_t> startedAt_;  // a start of ours whose end is not seen yet
    int quickEnds_ = 0;
    int pauses_ = 0;  // pauses begun in the current hold
    bool held_ = false;
    std::time_t heldAt_ = 0;
    std::time_t pause_ = 0;
};

// One watched program (the client, or the AppRunner program): its guard, the end watch of the
// start we made, and a notice that is still to be given.
struct SupervisedProgram {
    RestartGuard guard;
    std::unique_ptr<EndWatch> watch;  // while our start may run; its end restarts at once
    std::unique_ptr<EndWatch> ended;  // the last start of ours that ended: its exit status
    // What the guard counts for (folder and program): another one starts the count afresh.
    std::string target;
    bool noticeDue = false;
    // Ended, but its process number not yet free: restarted once it is (see ReapPending).
    bool awaitingReap = false;
};

struct Supervision {
    SupervisedProgram client;
    SupervisedProgram appRunner;
};

// The process id that aMule's lock file `muleLock` in the configuration folder names (its first
// line, in decimal); 0 when there is none, or it is no regular file or cannot be read.
long AmuleLockHolder(const std::string& configFolder);

}  // namespace hw
