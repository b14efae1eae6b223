#include "supervision/observer.h"

#include <signal.h>

#include <cerrno>
#include <utility>

#include "base/amule.h"
#include "base/paths.h"
#include "supervision/client_recognition.h"

namespace hw {

namespace {

// Lets go of the watch of a start that has ended, keeping it for its exit status.
bool RetireEndedWatch(SupervisedProgram& program) {
    if (!program.watch || !program.watch->Ended()) return false;
    program.ended = std::move(program.watch);
    return true;
}

// True when the process lives (perhaps as another user's) and is none of these.
bool LivesAndIsNoneOf(long pid, const std::vector<ProcessInfo>& processes) {
    if (pid <= 0 || (kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)) return false;
    for (const ProcessInfo& process : processes) {
        if (process.pid == pid) return false;
    }
    return true;
}

}  // namespace

void Supervisor::Tick(const WatchTargets& targets, const SupervisorTools& tools) {
    RetireEndedWatches(tools);
    Supervise(Watched::Client, targets, tools);
    Supervise(Watched::AppRunner, targets, tools);
}

void Supervisor::Supervise(Watched which, const WatchTargets& targets,
                           const SupervisorTools& tools) {
    const bool client = which == Watched::Client;
    if (!(client ? targets.client : targets.appRunner)) return;
    SupervisedProgram& watched = program(which);
    const std::time_t now = tools.now();
    const std::string target =
        client ? StripTrailingSeparatorKeepRoot(targets.clientFolder) + "\n" + targets.clientExe
               : targets.appRunnerPath;
    if (watched.target != target) {
        watched.guard.Reset();
        watched.target = target;
        watched.noticeDue = false;
    }
    // A start of ours that has not ended runs: no look at the process list needed.
    if (watched.watch) return;
    const bool running =
        client ? FindClientRun(tools.processes, targets.clientFolder, targets.clientExe).running
               : tools.processes.IsProcessRunning(AppRunnerProcessName(targets.appRunnerPath));
    if (running) return;
    if (watched.guard.Ended(now)) watched.noticeDue = true;
    if (!watched.guard.MayStart(now)) return;
    Start(which,
          client ? ClientStartCommand(targets.clientFolder, targets.clientExe)
                 : StartCommand{targets.appRunnerPath, {}},
          tools);
    if (tools.afterStart) tools.afterStart();
}

bool Supervisor::Start(Watched which, const StartCommand& command, const SupervisorTools& tools) {
    if (!tools.starter.StartProgram(command.program, command.arguments)) return false;
    SupervisedProgram& started = program(which);
    started.guard.Started(tools.now());
    started.watch = tools.starter.TakeEndWatch();
    if (tools.watchesChanged) tools.watchesChanged();
    return true;
}

std::pair<bool, bool> Supervisor::RetireEndedWatches(const SupervisorTools& tools) {
    const bool client = RetireEndedWatch(state_.client);
    const bool appRunner = RetireEndedWatch(state_.appRunner);
    if ((client || appRunner) && tools.watchesChanged) tools.watchesChanged();
    return {client, appRunner};
}

void Supervisor::StartedProgramEnded(const WatchTargets& targets, const SupervisorTools& tools) {
    const auto [client, appRunner] = RetireEndedWatches(tools);
    if (client) state_.client.awaitingReap = true;
    if (appRunner) state_.appRunner.awaitingReap = true;
    // The system reaps an ended program a moment later (seconds, under some inits); a start
    // before that would find aMule's lock still naming a live process, and quit at once.
    for (const Watched which : {Watched::Client, Watched::AppRunner}) {
        SupervisedProgram& ended = program(which);
        if (!ended.awaitingReap || (ended.ended && !ended.ended->Reaped())) continue;
        ended.awaitingReap = false;
        Supervise(which, targets, tools);
    }
}

bool Supervisor::ReapPending() const {
    return state_.client.awaitingReap || state_.appRunner.awaitingReap;
}

std::vector<int> Supervisor::EndWatchDescriptors() const {
    std::vector<int> descriptors;
    for (const SupervisedProgram* watched : {&state_.client, &state_.appRunner}) {
        if (watched->watch) descriptors.push_back(watched->watch->descriptor());
    }
    return descriptors;
}

void Supervisor::WantedAgain(Watched which, const WatchTargets& targets,
                             const SupervisorTools& tools) {
    SupervisedProgram& wanted = program(which);
    const bool held = wanted.guard.held();
    wanted.guard.Reset();
    wanted.noticeDue = false;
    if (held) Supervise(which, targets, tools);
}

std::vector<HeldBack> Supervisor::DueNotices(const WatchTargets& targets, ProcessTable& processes) {
    const std::string folder = StripTrailingSeparatorKeepRoot(targets.clientFolder);
    const bool amule = IsAmuleConfigFolder(folder);
    std::vector<HeldBack> due;
    for (const Watched which : {Watched::Client, Watched::AppRunner}) {
        SupervisedProgram& watched = program(which);
        if (!watched.noticeDue || !watched.guard.held()) {
            watched.noticeDue = false;
            continue;
        }
        const bool client = which == Watched::Client;
        HeldBack held;
        held.program = which;
        held.name = !client ? targets.appRunnerPath
                    : amule ? targets.clientExe
                            : AddTrailingSeparator(targets.clientFolder) + targets.clientExe;
        if (watched.ended) held.exitStatus = watched.ended->ExitStatus();
        if (client && amule) {
            held.amule = true;
            held.configFolder = folder;
            // aMule quits at once when its lock names a live process, which need not be aMule.
            const long holder = AmuleLockHolder(folder);
            std::vector<ProcessInfo> amules = processes.ProcessesOf(kAmule);
            for (ProcessInfo& process : processes.ProcessesOf(kAmuled)) {
                amules.push_back(std::move(process));
            }
            if (LivesAndIsNoneOf(holder, amules)) held.lockHolder = holder;
        }
        due.push_back(std::move(held));
    }
    return due;
}

void Supervisor::NoticeGiven(Watched which) {
    program(which).noticeDue = false;
}

}  // namespace hw
