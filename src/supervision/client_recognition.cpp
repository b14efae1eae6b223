#include "supervision/client_recognition.h"

#include <unistd.h>

#include "base/amule.h"
#include "base/paths.h"
#include "shell/find_files.h"

namespace hw {

namespace {

// Compared case-sensitively, so the last two are separate names.
const char* const KnownClientExes[] = {"emule.exe", "gdonkey.exe", "edonkey2000.exe", "overnet.exe",
                                       "eMule.exe"};

}  // namespace

std::optional<std::string> FindWindowsClient(const std::string& folder, const std::string& chosen) {
    std::vector<std::string> entries;
    FindFiles(folder, "*.exe", entries);
    std::string exe = chosen;
    bool found = false;
    for (const std::string& entry : entries) {
        for (const char* name : KnownClientExes) {
            if (TextContains(entry, name)) {
                exe = name;
                found = true;
            }
        }
        if (!exe.empty() && TextContains(entry, exe)) found = true;
    }
    if (!found) return std::nullopt;
    return exe;
}

std::string AmuleRunningOn(ProcessTable& processes, const std::string& folder, bool doubtCounts,
                           ProcessInfo* found) {
    // aMule's lock keeps a second program off one configuration; another configuration's aMule
    // is another client, and so is another user's.
    const long ownUid = static_cast<long>(::getuid());
    for (const char* program : {kAmule, kAmuled}) {
        for (const ProcessInfo& process : processes.ProcessesOf(program)) {
            const FolderMatch match = AmuleRunsOn(process, folder);
            if (match == FolderMatch::Same ||
                (doubtCounts && match == FolderMatch::Unknown && process.uid == ownUid)) {
                if (found != nullptr) *found = process;
                return program;
            }
        }
    }
    return {};
}

ClientRun FindClientRun(ProcessTable& processes, const std::string& clientFolder,
                        const std::string& clientExe) {
    ClientRun run;
    const std::string folder = StripTrailingSeparatorKeepRoot(clientFolder);
    if (!IsAmuleConfigFolder(folder)) {
        run.running = !clientExe.empty() && processes.IsProcessRunning(clientExe);
        return run;
    }
    // One of our user's processes whose configuration cannot be told may run on this one: a
    // restore under it would be overwritten, and a second start would be refused.
    run.amuleProgram = AmuleRunningOn(processes, folder, true, &run.process);
    run.running = !run.amuleProgram.empty();
    return run;
}

AmuleProgramFacts AmuleProgramFactsOf(ProcessTable& processes, const std::string& folder,
                                      bool amule, bool amuled, const std::string& chosen,
                                      bool display) {
    AmuleProgramFacts facts;
    facts.folderHoldsAmule = amule;
    facts.folderHoldsAmuled = amuled;
    // A configuration folder is served by either program from PATH; the programs of a folder
    // serve the user's own configuration.
    const bool configuration = !amule && !amuled;
    facts.running = AmuleRunningOn(
        processes,
        configuration ? StripTrailingSeparatorKeepRoot(folder) : DefaultAmuleConfigFolder(), false);
    facts.chosen = chosen;
    facts.amuleOnPath = !FindOnPath(kAmule).empty();
    facts.amuledOnPath = !FindOnPath(kAmuled).empty();
    facts.display = display;
    return facts;
}

std::string ChooseAmuleProgram(const AmuleProgramFacts& facts) {
    if (!facts.running.empty()) return facts.running;
    const bool configuration = !facts.folderHoldsAmule && !facts.folderHoldsAmuled;
    if ((facts.chosen == kAmule && (configuration || facts.folderHoldsAmule)) ||
        (facts.chosen == kAmuled && (configuration || facts.folderHoldsAmuled))) {
        return facts.chosen;
    }
    const bool hasAmule = configuration ? facts.amuleOnPath : facts.folderHoldsAmule;
    const bool hasAmuled = configuration ? facts.amuledOnPath : facts.folderHoldsAmuled;
    if (hasAmule != hasAmuled) return hasAmule ? kAmule : kAmuled;
    // Without a display the desktop program could not even start.
    return facts.display ? kAmule : kAmuled;
}

}  // namespace hw
