// The command line: the window's backup, restore and supervision without a window, for a
// machine without a desktop (a server that runs the client's daemon). It reads and writes the
// window's settings file, and holds the lock of the backup folder while it may change it.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/cli_commands.h"
#include "app/cli_contents.h"
#include "app/cli_report.h"
#include "app/cli_settings.h"
#include "app/console_services.h"
#include "app/timer_loop.h"
#include "base/executable_path.h"
#include "base/paths.h"
#include "settings/settings.h"
#include "settings/settings_location.h"
#include "supervision/named_lock_linux.h"
#include "supervision/process_table_linux.h"
#include "supervision/program_starter_linux.h"
#include "ui/running_copy.h"

namespace hw {
namespace {

const char* const kUsage =
    "Usage: hoardwise-cli [--settings FILE] COMMAND [OPTION]...\n"
    "Back up and restore the part files of an eDonkey-network client, and keep the client\n"
    "running, without a window. Reads the window's settings file.\n"
    "\n"
    "Commands:\n"
    "  backup           make one backup, as the window's \"Backup files\" button does\n"
    "  restore          show what a restore would bring back; with --yes, restore it\n"
    "                   (refused while the client runs)\n"
    "  list             show each download of the temp folder and the backups: its state,\n"
    "                   how much is done in the temp folder and in the backup, its size,\n"
    "                   ed2k hash and name\n"
    "  status           show the folders, the client, the backups and the schedule\n"
    "  run              back up on the settings' schedule and restart the client (and the\n"
    "                   AppRunner program) when it stops, until SIGTERM or SIGINT; SIGHUP\n"
    "                   reads the settings again\n"
    "  config           show the settings; with any of the config options below, write them\n"
    "\n"
    "Without a settings file the folders are preset from aMule's (~/.aMule), as on the\n"
    "window's first start, until config saves them.\n"
    "\n"
    "Options:\n"
    "  --settings FILE  read this settings file instead of the window's\n"
    "  --yes            restore without asking\n"
    "  --older          restore the older backup instead of the newest one; list: show it\n"
    "                   in place of the newest one\n"
    "  --only NAME...   restore: only these downloads, each named by its part file\n"
    "                   (001.part.met; Temp1/001.part.met with subfolders), its ed2k hash\n"
    "                   (32 hex digits) or its name (exact, else in any letter case)\n"
    "  --lost           restore: only the part files damaged or missing in the temp folder\n"
    "                   that the backup holds whole; whole ones stay as they are\n"
    "  --quiet          write only errors (on stderr), and nothing on stdout but --json's\n"
    "  --json           status, backup, restore: write one JSON object on stdout instead of\n"
    "                   the lines; list: a JSON array of the downloads (see below)\n"
    "  -h, --help       display this help and exit\n"
    "  --version        output version information and exit\n"
    "  --               end of the options: the next word is the command or an operand\n"
    "\n"
    "Options of config (folders as full paths):\n"
    "  --temp-dir DIR             the client's temp folder with the part files\n"
    "  --backup-dir DIR           the backup folder\n"
    "  --client-dir DIR           the client's folder (aMule's: its configuration folder)\n"
    "  --interval N               minutes between automatic backups, 1 to 120\n"
    "  --autobackup on|off        back up automatically while the client runs\n"
    "  --start-client on|off      start the client with run (and the window)\n"
    "  --restart-client on|off    restart the client when it has stopped\n"
    "\n"
    "The states of list: whole; damaged or missing (in the temp folder); ahead (further\n"
    "along in the temp folder than in the backup, which a restore would set back); older\n"
    "only (in the older backup alone). Done is \"-\" where there is no file, \"?\" where\n"
    "it is no whole part file.\n"
    "\n"
    "Lines of run on stderr start with \"error: \" or \"warning: \" (nothing for news); under\n"
    "systemd, with stderr the journal, with \"<3>\", \"<4>\" or \"<6>\".\n"
    "\n"
    "The JSON object (UTF-8, one line) holds: command, outcome (done, failed, refused,\n"
    "damaged, nothing_to_back_up, look), exit_code, messages (as shown, errors included);\n"
    "backup and restore: files, damaged (counts), kept, spare_only, lost, refused (left out:\n"
    "name too long or not allowed), extras_failed (lists of files); restore: damaged_copies,\n"
    "generations, ahead_of_backup (part files a full restore would set back), places\n"
    "(those of --only or --lost); status: settings_file, temp_dir, backup_dir, client_dir,\n"
    "client, last_backup, settings_saved, client_running, autobackup, interval_minutes,\n"
    "generations.\n"
    "Each generation: name (newest, older), folder, present, time (ISO 8601), files,\n"
    "damaged. Counts and values not known are null; bytes of a path that are no UTF-8\n"
    "become U+FFFD. Each download of list: place, name, size, hash, state (whole,\n"
    "damaged, missing, ahead, older-only), and temp, newest, older, each with present,\n"
    "whole and done (bytes).\n"
    "\n"
    "Exit status:\n"
    "  0  done; also restore without --yes, restore --lost with nothing lost, status,\n"
    "     list, config, --help, --version, and run ended by SIGTERM or SIGINT\n"
    "  1  the run failed\n"
    "  2  refused or set up wrong: bad command line, folders not set, missing or unsafe, a\n"
    "     foreign backup folder, the client runs during a restore, another run of Hoardwise\n"
    "     uses the backup folder, the settings file cannot be read or is no text, a\n"
    "     download of --only that matches none or several or has no whole copy, list\n"
    "     without a temp folder and without a backup\n"
    "  3  done, but damaged part files were kept from their older copy (backup) or left\n"
    "     out (restore)\n"
    "  4  nothing to back up: the temp folder holds no part files\n";

// The config command's options, in the order they are shown.
const char* const kConfigOptions[] = {"--temp-dir",      "--backup-dir", "--client-dir",
                                      "--interval",      "--autobackup", "--start-client",
                                      "--restart-client"};

bool IsConfigOption(const std::string& name) {
    for (const char* option : kConfigOptions) {
        if (name == option) return true;
    }
    return false;
}

bool IsSwitchOption(const std::string& name) {
    return name == "--autobackup" || name == "--start-client" || name == "--restart-client";
}

struct Options {
    std::string command;
    std::string settings;
    bool yes = false;
    bool older = false;
    bool quiet = false;
    bool json = false;
    // --only, with the download it names after it (and any other operand after the command).
    bool onlyGiven = false;
    std::vector<std::string> only;
    bool lost = false;
    // The words after the command: the downloads of --only, or extra operands.
    std::vector<std::string> operands;
    bool help = false;
    bool version = false;
    // The config command's values by option; the last one given counts.
    std::map<std::string, std::string> values;
    std::string error;  // what is wrong with the command line
};

// The value of an option given as "--name VALUE" or "--name=VALUE"; advances `i` past a value
// of its own. False when it is missing (`error` then says so).
bool OptionValue(int argc, char** argv, int& i, std::string& value, std::string& error) {
    const std::string argument = argv[i];
    const std::size_t equals = argument.find('=');
    if (equals != std::string::npos) {
        value = argument.substr(equals + 1);
        return true;
    }
    if (i + 1 >= argc) {
        error = "option '" + argument + "' requires an argument";
        return false;
    }
    value = argv[++i];
    return true;
}

void TakeCommand(Options& options, const std::string& argument) {
    if (!options.command.empty()) {
        options.operands.push_back(argument);
    } else if (argument == "backup" || argument == "restore" || argument == "status" ||
               argument == "run" || argument == "config" || argument == "list") {
        options.command = argument;
    } else {
        options.error = "unknown command '" + argument + "'";
    }
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    bool optionsEnded = false;
    for (int i = 1; i < argc && options.error.empty(); ++i) {
        const std::string argument = argv[i];
        if (optionsEnded) {
            TakeCommand(options, argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument == "--yes") {
            options.yes = true;
        } else if (argument == "--older") {
            options.older = true;
        } else if (argument == "--quiet") {
            options.quiet = true;
        } else if (argument == "--json") {
            options.json = true;
        } else if (argument == "--lost") {
            options.lost = true;
        } else if (argument == "--only") {
            options.onlyGiven = true;
        } else if (argument.rfind("--only=", 0) == 0) {
            options.onlyGiven = true;
            options.only.push_back(argument.substr(7));
        } else if (const std::string name = argument.substr(0, argument.find('='));
                   name == "--settings" || IsConfigOption(name)) {
            std::string value;
            if (!OptionValue(argc, argv, i, value, options.error)) continue;
            if (name == "--settings") {
                options.settings = value;
                if (value.empty()) options.error = "the settings file's name is empty";
            } else if (IsSwitchOption(name) && value != "on" && value != "off") {
                options.error = "option '" + name + "' takes on or off, not '" + value + "'";
            } else {
                options.values[name] = value;
            }
        } else if (argument.rfind("-", 0) == 0 && argument != "-") {
            options.error = "unrecognized option '" + argument + "'";
        } else {
            TakeCommand(options, argument);
        }
    }
    if (options.onlyGiven) {
        options.only.insert(options.only.end(), options.operands.begin(), options.operands.end());
    } else if (options.error.empty() && !options.operands.empty()) {
        options.error = "extra operand '" + options.operands.front() + "'";
    }
    if (options.error.empty() && !options.help && !options.version) {
        const std::string& command = options.command;
        if (command.empty()) {
            options.error = "missing command";
        } else if (options.yes && command != "restore") {
            options.error = "--yes belongs to the restore command";
        } else if (options.older && command != "restore" && command != "list") {
            options.error = "--older belongs to the restore and list commands";
        } else if ((options.onlyGiven || options.lost) && command != "restore") {
            options.error = "--only and --lost belong to the restore command";
        } else if (options.onlyGiven && options.lost) {
            options.error = "--only and --lost exclude each other";
        } else if (options.onlyGiven && options.only.empty()) {
            options.error = "option '--only' requires a download's name, hash or place";
        } else if (options.json && command != "status" && command != "backup" &&
                   command != "restore" && command != "list") {
            options.error = "--json belongs to the status, backup, restore and list commands";
        } else if (!options.values.empty() && options.command != "config") {
            options.error =
                "option '" + options.values.begin()->first + "' belongs to the config command";
        }
    }
    return options;
}

// The settings file as the command reads it: false, and said why, where it cannot be used.
// Without the window's settings file the values are preset as on its first start. A file named
// on the command line must be there (a mistyped name is no first start), except for config,
// which writes it.
bool UsableSettings(const Options& options, const std::string& path, const StoredSettings& stored,
                    std::string& why) {
    const bool preset = !stored.read && !path.empty() && stored.readError == ENOENT &&
                        (options.settings.empty() || options.command == "config");
    if (!stored.read && !preset) {
        why = "cannot read the settings file " + (path.empty() ? "" : "'" + path + "'") + ": " +
              std::strerror(stored.readError);
        return false;
    }
    // Read on, it would be taken for a file without settings, and config would write over it.
    if (stored.notText) {
        why = "the settings file '" + path +
              "' is no text (UTF-8, Windows-1252 or UTF-16 with its byte-order mark): it holds "
              "NUL characters";
        return false;
    }
    return true;
}

int RunCommand(const Options& options, Console& console, CliReport& report) {
    LinuxProcessTable processes;
    // The settings file is found as the window finds its own: beside the window's executable.
    const std::string self = ExecutablePath();
    const std::string path =
        !options.settings.empty()
            ? options.settings
            : SettingsFileFor(self.empty() ? "" : JoinPath(ParentPath(self), "hoardwise"));
    const StoredSettings stored = ReadStoredSettings(path);
    if (std::string why; !UsableSettings(options, path, stored, why)) {
        console.Complain(why + (stored.notText ? ""
                                               : "\nRun the window once, write one with "
                                                 "hoardwise-cli config, or name one with "
                                                 "--settings FILE."));
        return kRefused;
    }
    const std::string language = stored.language.value_or("EN");

    // Two runs never write one backup folder at once: the lock is taken before the settings may
    // start a program, and held until the command's work on the folder is done. A report, and a
    // restore that only tells what it would do, only read.
    BackupFolderLock folderLock(options.command + " " + std::to_string(getpid()));
    auto inUse = [&folderLock](const StoredSettings& read, const std::string& language,
                               const std::function<void()>& finishWork = {}) {
        const std::string backup = read.backupFolder.value_or("");
        return BackupFolderInUseText(
            backup, ReservationText(folderLock.Hold(backup, finishWork), language), language);
    };
    if (options.command == "backup" || options.command == "run" ||
        (options.command == "restore" && options.yes)) {
        if (const std::string text = inUse(stored, language); !text.empty()) {
            console.Complain(text);
            return kRefused;
        }
    }
    LinuxProgramStarter linuxStarter;
    ToldProgramStarter starter(linuxStarter);
    if (options.command == "run") {
        // Blocked before a program may start, so that an early SIGTERM waits for the loop rather
        // than ending the program halfway; started programs unblock them.
        const sigset_t ending = EndingSignals();
        sigprocmask(SIG_BLOCK, &ending, nullptr);
    }
    CliSettings settings = LoadCliSettings(path, stored, processes, console);

    if (options.command == "status") return Status(settings, processes, console, report);
    if (options.command == "config") {
        return options.values.empty() ? ShowConfig(settings, console)
                                      : Config(settings, options.values, processes, console);
    }
    if (options.command == "run") {
        // The file read again as at the start; a backup folder held by another run, or a file
        // that cannot be read, leaves the settings in force as they were.
        auto reload = [&](CliSettings& s, const std::function<void()>& finishWork) {
            const StoredSettings again = ReadStoredSettings(path);
            std::string why;
            if (UsableSettings(options, path, again, why)) {
                why = inUse(again, again.language.value_or("EN"), finishWork);
            }
            if (!why.empty()) {
                console.Tell(Severity::Error, NotReloadedText(s.language) + why);
                return false;
            }
            s = LoadCliSettings(path, again, processes, console);
            return true;
        };
        return Run(settings, processes, starter, console, reload);
    }
    if (!FoldersSet(settings, console)) return kRefused;
    if (options.command == "backup") return Backup(settings, console, report);
    if (options.command == "list") return List(settings, options.older, console, report);
    RestoreChoice choice;
    choice.yes = options.yes;
    choice.older = options.older;
    choice.only = options.only;
    choice.lost = options.lost;
    return Restore(settings, processes, choice, console, report);
}

}  // namespace
}  // namespace hw

int main(int argc, char** argv) {
    const hw::Options options = hw::ParseOptions(argc, argv);
    if (!options.error.empty()) {
        hw::Complain(options.error);
        std::fprintf(stderr, "Try '%s --help' for more information.\n", hw::kProgram);
        return hw::kRefused;
    }
    if (options.help) {
        std::fputs(hw::kUsage, stdout);
        return hw::kSucceeded;
    }
    if (options.version) {
        std::printf("%s (Hoardwise) %s\n", hw::kProgram, HOARDWISE_VERSION);
        return hw::kSucceeded;
    }
    hw::Console console;
    console.quiet = options.quiet;
    console.json = options.json;
    console.severities = options.command == "run";
    console.journal = console.severities && hw::StderrIsJournal();
    hw::CliReport report;
    report.command = options.command;
    int code = hw::kFailed;
    try {
        code = hw::RunCommand(options, console, report);
    } catch (const std::exception& error) {
        console.Complain(error.what());
    } catch (...) {
        console.Complain("unknown error");
    }
    if (options.json) {
        report.exitCode = code;
        std::fputs(hw::ReportJson(report, console.told()).c_str(), stdout);
    }
    return code;
}
