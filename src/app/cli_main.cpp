// The command line: the window's backup, restore and supervision without a window, for a
// machine without a desktop (a server that runs the client's daemon). It reads and writes the
// window's settings file, and holds the lock of the backup folder while it may change it.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/backup_folder_reservation.h"
#include "app/console_services.h"
#include "app/timer_loop.h"
#include "backup/generation_summary.h"
#include "backup/run_history.h"
#include "backup/run_support.h"
#include "base/amule.h"
#include "base/executable_path.h"
#include "base/numbers.h"
#include "base/paths.h"
#include "settings/ini_file.h"
#include "supervision/named_lock_linux.h"
#include "supervision/process_table_linux.h"
#include "supervision/program_starter_linux.h"
#include "ui/language.h"
#include "ui/main_form.h"
#include "ui/run_texts.h"

namespace hw {
namespace {

const char* const kProgram = "hoardwise-cli";

// Exit codes: the run's outcome for backup and restore; every refusal, bad input included, is 2.
enum Exit { kSucceeded = 0, kFailed = 1, kRefused = 2, kDamaged = 3 };

const char* const kUsage =
    "Usage: hoardwise-cli [--settings FILE] COMMAND [OPTION]...\n"
    "Back up and restore the part files of an eDonkey-network client, and keep the client\n"
    "running, without a window. Reads the window's settings file.\n"
    "\n"
    "Commands:\n"
    "  backup           make one backup, as the window's \"Backup files\" button does\n"
    "  restore          show what a restore would bring back; with --yes, restore it\n"
    "                   (refused while the client runs)\n"
    "  status           show the folders, the client, the backups and the schedule\n"
    "  run              back up on the settings' schedule and restart the client (and the\n"
    "                   AppRunner program) when it stops, until SIGTERM or SIGINT\n"
    "  config           show the settings; with any of the options below, write them\n"
    "\n"
    "Without a settings file the folders are preset from aMule's (~/.aMule), as on the\n"
    "window's first start, until config saves them.\n"
    "\n"
    "Options:\n"
    "  --settings FILE  read this settings file instead of the window's\n"
    "  --yes            restore without asking\n"
    "  --older          restore the older backup instead of the newest one\n"
    "  --help           display this help and exit\n"
    "  --version        output version information and exit\n"
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
    "Exit status: 0 done; 1 failed; 2 refused (bad input, folders not set, missing\n"
    "or unsafe, another run of Hoardwise uses the backup folder, the client runs\n"
    "during a restore, a restore without --yes); 3 done, but damaged part files were\n"
    "kept from the older copy (backup) or left out (restore).\n";

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

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc && options.error.empty(); ++i) {
        const std::string argument = argv[i];
        if (argument == "--help") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument == "--yes") {
            options.yes = true;
        } else if (argument == "--older") {
            options.older = true;
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
        } else if (argument.rfind("-", 0) == 0) {
            options.error = "unrecognized option '" + argument + "'";
        } else if (!options.command.empty()) {
            options.error = "extra operand '" + argument + "'";
        } else if (argument == "backup" || argument == "restore" || argument == "status" ||
                   argument == "run" || argument == "config") {
            options.command = argument;
        } else {
            options.error = "unknown command '" + argument + "'";
        }
    }
    if (options.error.empty() && !options.help && !options.version) {
        if (options.command.empty()) {
            options.error = "missing command";
        } else if ((options.yes || options.older) && options.command != "restore") {
            options.error = "--yes and --older belong to the restore command";
        } else if (!options.values.empty() && options.command != "config") {
            options.error =
                "option '" + options.values.begin()->first + "' belongs to the config command";
        }
    }
    return options;
}

void Complain(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
}

// One labelled line of the status report, the values aligned.
void StatusLine(const std::string& label, const std::string& value) {
    std::string padded = label;
    std::size_t shown = 0;
    for (const unsigned char c : label) shown += (c & 0xC0) != 0x80;
    if (shown < 20) padded.append(20 - shown, ' ');
    std::printf("%s%s\n", padded.c_str(), value.c_str());
}

std::string FolderOrNotSet(const MainForm& f, const Edit& edit) {
    return LooksLikeAbsolutePath(edit.text()) ? edit.text() : LanguageText(f, TextId::NotSet);
}

// Where the generations lie once the restore's repair has finished a backup cut short.
GenerationPlaces PlacesAfterRepairOf(const MainForm& f, const std::string& backup) {
    return PlacesAfterRepair(backup, TrimTrailingSeparators(f.edit_tempdir.text()),
                             TrimTrailingSeparators(f.edit_clientdir.text()));
}

std::string GenerationLine(const MainForm& f, const std::string& folder) {
    const GenerationSummary g =
        SummarizeGeneration(folder, f.radio_storing_subfolder.checked(), true);
    if (!g.present) return LanguageText(f, TextId::GenerationMissing);
    std::string line = LocalTime(g.when, "%Y-%m-%d %H:%M") + ", " + std::to_string(g.files) +
                       LanguageText(f, TextId::PartFilesSuffix);
    if (g.damaged > 0) {
        line += ", " + std::to_string(g.damaged) + LanguageText(f, TextId::DamagedCopiesSuffix);
    }
    return line + " (" + folder + ")";
}

std::string AutobackupLine(MainForm& f) {
    if (!f.cb_autobackup.checked()) return LanguageText(f, TextId::AutobackupOff);
    return LanguageText(f, TextId::AutobackupEvery) + std::to_string(f.UpDown1.position()) +
           LanguageText(f, TextId::MinutesSuffix);
}

int Status(MainForm& f, const std::string& settingsLine) {
    auto label = [&f](TextId id) { return LanguageText(f, id); };
    StatusLine(label(TextId::StatusSettings), settingsLine);
    StatusLine(label(TextId::StatusTemp), FolderOrNotSet(f, f.edit_tempdir));
    StatusLine(label(TextId::StatusBackup), FolderOrNotSet(f, f.edit_backupdir));
    StatusLine(label(TextId::StatusClientFolder), FolderOrNotSet(f, f.edit_clientdir));
    std::string client = label(TextId::NoClient);
    if (!f.clientExe.empty()) {
        client = f.clientExe +
                 label(f.IsClientRunning() ? TextId::ClientRunning : TextId::ClientNotRunning);
    }
    StatusLine(label(TextId::StatusClient), client);
    const std::string backup = TrimTrailingSeparators(f.edit_backupdir.text());
    const bool backupSet = LooksLikeAbsolutePath(backup);
    const GenerationPlaces places = PlacesAfterRepairOf(f, backup);
    StatusLine(label(TextId::NewestBackupPrefix),
               backupSet ? GenerationLine(f, places.newest) : label(TextId::NotSet));
    StatusLine(label(TextId::OlderBackupPrefix),
               backupSet ? GenerationLine(f, places.older) : label(TextId::NotSet));
    StatusLine(label(TextId::StatusAutobackup), AutobackupLine(f));
    std::printf("%s\n", f.LastBackupText().c_str());
    return kSucceeded;
}

// The settings that config writes, by their options, as the window holds them.
void ShowConfig(MainForm& f, const std::string& settingsLine) {
    auto onOff = [](bool on) { return std::string(on ? "on" : "off"); };
    StatusLine(LanguageText(f, TextId::StatusSettings), settingsLine);
    StatusLine("--temp-dir", FolderOrNotSet(f, f.edit_tempdir));
    StatusLine("--backup-dir", FolderOrNotSet(f, f.edit_backupdir));
    StatusLine("--client-dir", FolderOrNotSet(f, f.edit_clientdir));
    StatusLine("--interval", std::to_string(f.UpDown1.position()));
    StatusLine("--autobackup", onOff(f.cb_autobackup.checked()));
    StatusLine("--start-client", onOff(f.cb_startclient.checked()));
    StatusLine("--restart-client", onOff(f.cb_watchclient.checked()));
}

// The options' values go into the window's controls, through their handlers as typed or
// ticked, and the settings are saved as the window's Save button saves them: every key, the
// presets of a first start with them. Every value is checked before anything changes.
int Config(MainForm& f, const Options& options, const std::string& path) {
    const std::map<std::string, std::string>& values = options.values;
    auto given = [&values](const char* option) {
        const auto found = values.find(option);
        return found == values.end() ? std::optional<std::string>() : found->second;
    };
    for (const char* option : {"--temp-dir", "--backup-dir", "--client-dir"}) {
        if (given(option) && !LooksLikeAbsolutePath(*given(option))) {
            Complain(LanguageText(f, TextId::FolderNotFullPath) + option + " " + *given(option));
            return kRefused;
        }
    }
    int minutes = f.UpDown1.position();
    if (given("--interval") && (!ParseWholeNumber(*given("--interval"), minutes) ||
                                minutes < f.UpDown1.min() || minutes > f.UpDown1.max())) {
        Complain(f.msg_interval_range);
        return kRefused;
    }
    try {
        for (const auto& [option, edit] : {std::pair{"--temp-dir", &f.edit_tempdir},
                                           std::pair{"--backup-dir", &f.edit_backupdir},
                                           std::pair{"--client-dir", &f.edit_clientdir}}) {
            if (given(option)) edit->setText(*given(option));
        }
        if (given("--interval")) f.ApplyAutobackupInterval(minutes);
        for (const auto& [option, box] : {std::pair{"--autobackup", &f.cb_autobackup},
                                          std::pair{"--start-client", &f.cb_startclient},
                                          std::pair{"--restart-client", &f.cb_watchclient}}) {
            if (given(option)) box->setChecked(*given(option) == "on");
        }
    } catch (const std::exception& error) {
        Complain(error.what());
        return kFailed;
    }
    try {
        f.SaveSettings();
    } catch (const std::exception&) {
        Complain("cannot write the settings file '" + path + "': " + std::strerror(errno));
        return kFailed;
    }
    ShowConfig(f, path);
    return kSucceeded;
}

int ExitOf(MainForm::RunEnd end) {
    switch (end) {
        case MainForm::RunEnd::Succeeded:
            return kSucceeded;
        case MainForm::RunEnd::Damaged:
            return kDamaged;
        case MainForm::RunEnd::Refused:
            return kRefused;
        case MainForm::RunEnd::Failed:
        case MainForm::RunEnd::None:  // nothing to back up: told, and no backup made
            break;
    }
    return kFailed;
}

int Restore(MainForm& f, ConsoleDialogs& dialogs, const Options& options) {
    if (!options.yes) {
        const GenerationPlaces places =
            PlacesAfterRepairOf(f, TrimTrailingSeparators(f.edit_backupdir.text()));
        bool any = false;
        for (const auto& [prefix, folder] : {std::pair{TextId::NewestBackupPrefix, places.newest},
                                             std::pair{TextId::OlderBackupPrefix, places.older}}) {
            const GenerationSummary g =
                SummarizeGeneration(folder, f.radio_storing_subfolder.checked());
            if (g.present)
                std::printf("%s\n", DescribeGeneration(f.CurrentLanguageCode(), prefix, g).c_str());
            any = any || g.present;
        }
        if (!any) WriteLines(stdout, f.msg_nothing_to_restore);
        WriteLines(stdout, LanguageText(f, TextId::RestoreNeedsYes));
        return kRefused;
    }
    dialogs.answer = true;
    f.Dispatch([&] { options.older ? f.RestoreWhenClientStopped(true) : f.btn_restoreClick(); });
    return ExitOf(f.lastRunEnd());
}

int Run(MainForm& f) {
    f.onRunRecorded = [](const std::string& line) { WriteLines(stderr, line); };
    f.onRestartsHeld = [](const std::string& line) { WriteLines(stderr, line); };
    WriteLines(stderr, LanguageText(f, TextId::RunStartedPrefix) + AutobackupLine(f));
    f.timer_mini_on_start.destroy();
    const int signal = RunTimersUntilSignal(f, {&f.timer_observer, &f.timer_autobackup});
    if (signal < 0) {
        Complain(std::string("cannot wait for signals: ") + std::strerror(errno));
        return kFailed;
    }
    const char* name = signal == SIGTERM ? "SIGTERM" : signal == SIGINT ? "SIGINT" : "SIGHUP";
    WriteLines(stderr, LanguageText(f, TextId::RunEndedPrefix) + name);
    return kSucceeded;
}

int RunCommand(const Options& options) {
    ConsoleDialogs dialogs(options.command == "run" ? stderr : stdout, stderr);
    LinuxProcessTable processes;
    LinuxProgramStarter linuxStarter;
    ToldProgramStarter starter(linuxStarter);
    HeadlessWindow window;
    Services services;
    services.dialogs = &dialogs;
    services.processes = &processes;
    services.starter = &starter;
    services.window = &window;
    // The settings file is found as the window finds its own: beside the window's executable.
    const std::string self = ExecutablePath();
    services.executablePath = self.empty() ? "" : JoinPath(ParentPath(self), "hoardwise");

    // Outlives the form, whose end waits for the work of its last backup.
    BackupFolderLock folderLock(options.command + " " + std::to_string(getpid()));
    MainForm form(services);
    form.settingsFile = options.settings;
    form.startProgramsOnLoad = options.command == "run";
    dialogs.errorCaption = &form.msg_error_caption;
    ReserveBackupFoldersWith(form, folderLock);

    const std::string path = form.SettingsFilePath();
    std::string text;
    const bool saved = !path.empty() && ReadSettingsText(path, text);
    const int cause = saved ? 0 : path.empty() ? ENOENT : errno;
    // Without the window's settings file the values are preset as on its first start. A file
    // named on the command line must be there (a mistyped name is no first start), except for
    // config, which writes it.
    const bool preset = !saved && !path.empty() && cause == ENOENT &&
                        (options.settings.empty() || options.command == "config");
    if (!saved && !preset) {
        Complain("cannot read the settings file " + (path.empty() ? "" : "'" + path + "'") + ": " +
                 std::strerror(cause) +
                 "\nRun the window once, write one with hoardwise-cli config, or name one with "
                 "--settings FILE.");
        return kRefused;
    }
    const std::string language = IniFindValue(text, "GENERAL SETTINGS", "LANGUAGE").value_or("EN");
    const std::string settingsLine =
        path + (saved ? "" : LanguageText(language, TextId::SettingsNotSaved));

    // Two runs never write one backup folder at once: the lock is taken before the settings may
    // start a program. A report, and a restore that only tells what it would do, only read.
    if (options.command == "backup" || options.command == "run" ||
        (options.command == "restore" && options.yes)) {
        const std::string backup = IniFindValue(text, "DIRECTORIES", "BACKUPDIR").value_or("");
        const std::string holder = ReservationText(folderLock.Hold(backup), language);
        if (!holder.empty()) {
            Complain(LanguageText(language, TextId::BackupFolderInUse) + backup + "\n\n" + holder);
            return kRefused;
        }
    }
    if (options.command == "run") {
        // Blocked before the settings may start a program, so that an early SIGTERM waits for
        // the loop rather than ending the program halfway; started programs unblock them.
        const sigset_t ending = EndingSignals();
        sigprocmask(SIG_BLOCK, &ending, nullptr);
        starter.tell = [&form](bool started, const std::string& commandLine) {
            WriteLines(stderr, LanguageText(form, started ? TextId::ProgramStarted
                                                          : TextId::ProgramNotStarted) +
                                   commandLine);
        };
    }
    form.Dispatch([&form] { form.FormCreate(); });

    if (options.command == "status") return Status(form, settingsLine);
    if (options.command == "config") {
        if (options.values.empty()) {
            ShowConfig(form, settingsLine);
            return kSucceeded;
        }
        return Config(form, options, path);
    }
    for (const auto& [edit, id] : {std::pair{&form.edit_tempdir, TextId::TempNotSet},
                                   std::pair{&form.edit_backupdir, TextId::BackupNotSet}}) {
        if (!LooksLikeAbsolutePath(edit->text())) {
            Complain(LanguageText(form, id));
            return kRefused;
        }
    }
    int code = kSucceeded;
    if (options.command == "backup") {
        form.Dispatch([&form] { form.btn_backupClick(); });
        code = ExitOf(form.lastRunEnd());
    } else if (options.command == "restore") {
        code = Restore(form, dialogs, options);
    } else {
        code = Run(form);
    }
    // The generation thrown away is removed before the lock is given up.
    form.FinishBackgroundWork();
    return code;
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
    try {
        return hw::RunCommand(options);
    } catch (const std::exception& error) {
        hw::Complain(error.what());
    } catch (...) {
        hw::Complain("unknown error");
    }
    return hw::kFailed;
}
