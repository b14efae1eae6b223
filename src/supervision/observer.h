// Keeping the watched client and AppRunner program running: each step restarts a watched program
// when no process of it is left, and a program we started ourselves is restarted as soon as its
// end watch tells that it has ended. Both ways go through the program's guard, which holds back
// one that ends right after each start.
#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/services.h"
#include "supervision/program_start.h"
#include "supervision/restart_guard.h"

namespace hw {

enum class Watched { Client, AppRunner };

// What is to be kept running, as the settings or the window hold it at the moment of a step.
struct WatchTargets {
    bool client = false;
    std::string clientFolder;  // as typed
    std::string clientExe;
    // Watched, and the watch in force.
    bool appRunner = false;
    std::string appRunnerPath;
};

// What a step works with.
struct SupervisorTools {
    ProcessTable& processes;
    ProgramStarter& starter;
    std::function<std::time_t()> now;
    // After every start a step tried, made or not (the window comes forward).
    std::function<void()> afterStart;
    // The end watches changed (the old descriptors may be closed by then).
    std::function<void()> watchesChanged;
};

// A program held back after quick ends, as facts for the notice.
struct HeldBack {
    Watched program = Watched::Client;
    // The program as the user knows it: the AppRunner path, aMule's program, or the client's
    // path in its folder.
    std::string name;
    // How its last start of ours ended, as a wait status, where the system told.
    std::optional<int> exitStatus;
    // An aMule client: its configuration folder (lock file, log file), and a live process other
    // than aMule that its lock names (0: none).
    bool amule = false;
    std::string configFolder;
    long lockHolder = 0;
};

class Supervisor {
  public:
    // One step: ended watches let go of, then the client and the AppRunner program restarted
    // where they are watched and gone.
    void Tick(const WatchTargets& targets, const SupervisorTools& tools);
    // The program's step alone.
    void Supervise(Watched which, const WatchTargets& targets, const SupervisorTools& tools);
    // A start made outside a step (the starts at program start): counted by the program's guard,
    // its end watched. False when it could not be started.
    bool Start(Watched which, const StartCommand& command, const SupervisorTools& tools);
    // A program we started has ended (its end watch is readable): restarted at once, through
    // the same guard as the step's restarts, once the system has reaped it.
    void StartedProgramEnded(const WatchTargets& targets, const SupervisorTools& tools);
    // True while a program of ours has ended and the system has not yet reaped it.
    bool ReapPending() const;
    // The descriptors of the end watches, for an event loop.
    std::vector<int> EndWatchDescriptors() const;
    // The user wants the program again: its quick ends so far no longer count, and one held
    // back is tried at once.
    void WantedAgain(Watched which, const WatchTargets& targets, const SupervisorTools& tools);
    // The programs held back whose notice is due; each stays due until NoticeGiven. Due a step
    // after the hold began: by then the system has reaped the last start and has its status.
    std::vector<HeldBack> DueNotices(const WatchTargets& targets, ProcessTable& processes);
    void NoticeGiven(Watched which);
    // Lets go of the watches of our starts that have ended: true for each (client, AppRunner).
    std::pair<bool, bool> RetireEndedWatches(const SupervisorTools& tools);

  private:
    SupervisedProgram& program(Watched which) {
        return which == Watched::Client ? state_.client : state_.appRunner;
    }
    Supervision state_;
};

}  // namespace hw
