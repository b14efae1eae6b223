// The command line's commands: each calls the engine that the window calls and turns the same
// reports into lines, an exit code and, for --json, a CliReport.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/cli_report.h"
#include "app/cli_settings.h"
#include "app/console_services.h"
#include "base/services.h"

namespace hw {

// Exit codes: the run's outcome for backup and restore; every refusal, bad input included, is 2;
// a backup that found no part file is 4 (an idle client, not an error).
enum Exit { kSucceeded = 0, kFailed = 1, kRefused = 2, kDamaged = 3, kNothingToBackUp = 4 };

// True when the temp and the backup folder are set; otherwise says which is not.
bool FoldersSet(const CliSettings& s, Console& console);

int Status(const CliSettings& s, ProcessTable& processes, Console& console, CliReport& report);
// The settings that config writes, by their options.
int ShowConfig(const CliSettings& s, const Console& console);
// Writes the options' values (`values` by option) with every other setting, as the window's Save
// button saves them. Every value is checked before anything changes.
int Config(CliSettings& s, const std::map<std::string, std::string>& values,
           ProcessTable& processes, Console& console);
int Backup(const CliSettings& s, Console& console, CliReport& report);
// What a restore brings back, as its options ask.
struct RestoreChoice {
    bool yes = false;    // restore, rather than only tell what a restore would bring back
    bool older = false;  // from B_old
    // The downloads named with --only (each by its place, hash or name), or with `lost` every
    // part file damaged or missing in the temp folder; every part file where neither is given.
    std::vector<std::string> only;
    bool lost = false;
};
int Restore(const CliSettings& s, ProcessTable& processes, const RestoreChoice& choice,
            Console& console, CliReport& report);

// The settings as `run` reads them again on SIGHUP, into `settings`: false (and said why, after
// NotReloadedText) where they cannot be, and the old ones stay. `finishWork` finishes the work
// on the old backup folder before its lock is given up.
using SettingsReload =
    std::function<bool(CliSettings& settings, const std::function<void()>& finishWork)>;
std::string NotReloadedText(const std::string& language);
// Starts the client and the AppRunner program as the settings ask, then keeps them running and
// backs up on the schedule until SIGTERM or SIGINT; SIGHUP reads the settings again through
// `reload`. The caller has blocked those signals.
int Run(CliSettings s, ProcessTable& processes, ToldProgramStarter& starter, Console& console,
        const SettingsReload& reload);

// "2 h 5 min", "3 min", "40 s" (German: "2 Std. 5 Min."), for how long a program ran.
std::string RunTimeText(const std::string& language, long long seconds);

}  // namespace hw
