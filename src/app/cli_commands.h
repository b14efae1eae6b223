// The command line's commands: each calls the engine that the window calls and turns the same
// reports into lines and an exit code.
#pragma once

#include <map>
#include <string>

#include "app/cli_settings.h"
#include "app/console_services.h"
#include "base/services.h"

namespace hw {

// Exit codes: the run's outcome for backup and restore; every refusal, bad input included, is 2.
enum Exit { kSucceeded = 0, kFailed = 1, kRefused = 2, kDamaged = 3 };

// True when the temp and the backup folder are set; otherwise says which is not.
bool FoldersSet(const CliSettings& s);

int Status(const CliSettings& s, ProcessTable& processes);
// The settings that config writes, by their options.
int ShowConfig(const CliSettings& s);
// Writes the options' values (`values` by option) with every other setting, as the window's Save
// button saves them. Every value is checked before anything changes.
int Config(CliSettings& s, const std::map<std::string, std::string>& values,
           ProcessTable& processes);
int Backup(const CliSettings& s);
// Without `yes` only tells what a restore would bring back.
int Restore(const CliSettings& s, ProcessTable& processes, bool yes, bool older);
// Starts the client and the AppRunner program as the settings ask, then keeps them running and
// backs up on the schedule until SIGTERM, SIGINT or SIGHUP. The caller has blocked those.
int Run(const CliSettings& s, ProcessTable& processes, ToldProgramStarter& starter);

}  // namespace hw
