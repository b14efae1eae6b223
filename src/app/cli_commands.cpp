#include "app/cli_commands.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <utility>
#include <vector>

#include "app/cli_contents.h"
#include "app/timer_loop.h"
#include "backup/backup_run.h"
#include "backup/manual_runs.h"
#include "backup/restore_run.h"
#include "backup/run_history.h"
#include "base/numbers.h"
#include "base/paths.h"
#include "supervision/client_choice.h"
#include "supervision/client_recognition.h"
#include "supervision/observer.h"
#include "supervision/program_start.h"
#include "ui/language.h"
#include "ui/run_lines.h"
#include "ui/run_texts.h"
#include "ui/supervision_texts.h"

namespace hw {

namespace {

int ExitOf(RunEnd end) {
    switch (end) {
        case RunEnd::Succeeded:
            return kSucceeded;
        case RunEnd::Damaged:
            return kDamaged;
        case RunEnd::Refused:
            return kRefused;
        case RunEnd::None:  // nothing to back up: told, and no backup made
            return kNothingToBackUp;
        case RunEnd::Failed:
            break;
    }
    return kFailed;
}

// The texts of the command line's own, in both languages.
enum class CliText { Reloaded, NotReloaded, TempMissing };
std::string CliTextOf(const std::string& language, CliText id) {
    const bool de = language == "DE";
    switch (id) {
        case CliText::Reloaded:
            return de ? "Einstellungen neu gelesen: " : "settings read again: ";
        case CliText::TempMissing:
            return de ? "der Temp-Ordner existiert nicht oder ist kein Ordner (ist sein "
                        "Datenträger nicht eingehängt?); nichts wurde gesichert: "
                      : "the temp folder does not exist or is no folder (is its disk not "
                        "mounted?); nothing was backed up: ";
        case CliText::NotReloaded:
            return de ? "Einstellungen nicht neu gelesen, die bisherigen gelten weiter: "
                      : "settings not read again, the previous ones stay in force: ";
    }
    return {};
}

// One labelled line of the status report, the values aligned.
void StatusLine(const Console& console, const std::string& label, const std::string& value) {
    std::string padded = label;
    std::size_t shown = 0;
    for (const unsigned char c : label) shown += (c & 0xC0) != 0x80;
    if (shown < 20) padded.append(20 - shown, ' ');
    console.Out(padded + value);
}

std::string FolderOrNotSet(const CliSettings& s, const std::string& folder) {
    return LooksLikeAbsolutePath(folder) ? folder : LanguageText(s.language, TextId::NotSet);
}

bool Subfolders(const CliSettings& s) {
    return !*s.values.simpleStoring;
}

std::string GenerationLine(const CliSettings& s, const std::string& folder) {
    const GenerationSummary g = SummarizeGeneration(folder, Subfolders(s), true);
    if (!g.present) return LanguageText(s.language, TextId::GenerationMissing);
    std::string line = LocalTime(g.when, "%Y-%m-%d %H:%M") + ", " + std::to_string(g.files) +
                       LanguageText(s.language, TextId::PartFilesSuffix);
    if (g.damaged > 0) {
        line += ", " + std::to_string(g.damaged) +
                LanguageText(s.language, TextId::DamagedCopiesSuffix);
    }
    return line + " (" + folder + ")";
}

std::string AutobackupLine(const CliSettings& s) {
    if (!*s.values.autobackup) return LanguageText(s.language, TextId::AutobackupOff);
    return LanguageText(s.language, TextId::AutobackupEvery) + std::to_string(s.minutes()) +
           LanguageText(s.language, TextId::MinutesSuffix);
}

// Adds a run to the history, its line told (`tellLine`, an automatic run's); that the history is
// no regular file is told once a program run (`warned`).
void Record(const CliSettings& s, Console& console, RunRecord run, bool tellLine, bool& warned) {
    run.when = std::time(nullptr);
    run.folder = BackupFolderName(TrimTrailingSeparators(s.backup()));
    const bool succeeded = run.succeeded;
    const RecordedRun recorded = RecordRun(UserHistoryFile(), s.language, run);
    if (tellLine) console.Tell(succeeded ? Severity::Info : Severity::Warning, recorded.line);
    if (!recorded.notAFile.empty() && !warned) {
        console.Tell(Severity::Warning, recorded.notAFile);
        warned = true;
    }
}

RunRecord RecordOf(bool restore, bool automatic, std::size_t files, std::size_t damaged,
                   bool succeeded, const std::string& message) {
    RunRecord run;
    run.restore = restore;
    run.automatic = automatic;
    run.files = files;
    run.damaged = damaged;
    run.succeeded = succeeded;
    run.message = message;
    return run;
}

// The folders as the window's Backup and Restore buttons leave them (one trailing "/" taken
// off each field), for a run.
struct RunFolders {
    std::string temp;
    std::string backup;
    std::string client;
};
RunFolders TidiedFolders(const CliSettings& s) {
    return {StripTrailingSeparator(s.temp()), StripTrailingSeparator(s.backup()),
            StripTrailingSeparator(s.client())};
}

RunInputs RunInputsOf(const CliSettings& s, const RunFolders& folders) {
    RunInputs inputs;
    inputs.temp = TrimTrailingSeparators(folders.temp);
    inputs.backup = TrimTrailingSeparators(folders.backup);
    inputs.client = TrimTrailingSeparators(folders.client);
    inputs.subfolders = Subfolders(s);
    inputs.entries = *s.values.additionalFiles;
    inputs.settingsFile = s.path;
    return inputs;
}

// The generation as the JSON object names it.
ReportedGeneration Reported(const std::string& name, const std::string& folder,
                            const GenerationSummary& g) {
    ReportedGeneration reported;
    reported.name = name;
    reported.folder = folder;
    reported.present = g.present;
    reported.when = g.when;
    reported.files = g.files;
    reported.damaged = g.damaged;
    return reported;
}

// The part files a backup named, for the JSON object.
void ReportBackup(const BackupReport& b, CliReport& report) {
    report.files = b.files;
    report.damaged = b.damaged;
    report.kept = b.kept;
    report.spareOnly = b.spareOnly;
    report.lost = b.lost;
    report.refused = b.tooLong;
    report.refused.insert(report.refused.end(), b.badName.begin(), b.badName.end());
    report.extrasFailed = b.extrasFailed;
}

// A temp folder that is not there (a disk not mounted) holds no part files, but it is no idle
// client: the run is refused by the folder's name.
bool TempFolderThere(const CliSettings& s, const std::string& temp, Console& console) {
    struct stat status {};
    if (stat(temp.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return true;
    console.Complain(CliTextOf(s.language, CliText::TempMissing) + temp);
    return false;
}

}  // namespace

bool FoldersSet(const CliSettings& s, Console& console) {
    for (const auto& [folder, id] :
         {std::pair{&s.temp(), TextId::TempNotSet}, std::pair{&s.backup(), TextId::BackupNotSet}}) {
        if (!LooksLikeAbsolutePath(*folder)) {
            console.Complain(LanguageText(s.language, id));
            return false;
        }
    }
    return true;
}

int Status(const CliSettings& s, ProcessTable& processes, Console& console, CliReport& report) {
    auto label = [&s](TextId id) { return LanguageText(s.language, id); };
    StatusLine(console, label(TextId::StatusSettings), s.FileLine());
    StatusLine(console, label(TextId::StatusTemp), FolderOrNotSet(s, s.temp()));
    StatusLine(console, label(TextId::StatusBackup), FolderOrNotSet(s, s.backup()));
    StatusLine(console, label(TextId::StatusClientFolder), FolderOrNotSet(s, s.client()));
    std::string client = label(TextId::NoClient);
    if (!s.clientExe().empty()) {
        const bool running = FindClientRun(processes, s.client(), s.clientExe()).running;
        client = s.clientExe() + label(running ? TextId::ClientRunning : TextId::ClientNotRunning);
        report.clientRunning = running;
    }
    StatusLine(console, label(TextId::StatusClient), client);
    const std::string backup = TrimTrailingSeparators(s.backup());
    const bool backupSet = LooksLikeAbsolutePath(backup);
    const GenerationPlaces places = PlacesAfterRepair(backup, TrimTrailingSeparators(s.temp()),
                                                      TrimTrailingSeparators(s.client()));
    StatusLine(console, label(TextId::NewestBackupPrefix),
               backupSet ? GenerationLine(s, places.newest) : label(TextId::NotSet));
    StatusLine(console, label(TextId::OlderBackupPrefix),
               backupSet ? GenerationLine(s, places.older) : label(TextId::NotSet));
    StatusLine(console, label(TextId::StatusAutobackup), AutobackupLine(s));
    const std::string last =
        BackupStatusLine(s.language, LastBackupRuns(UserHistoryFile(), BackupFolderName(backup)),
                         std::time(nullptr));
    console.Out(last);

    auto folder = [](const std::string& path) { return LooksLikeAbsolutePath(path) ? path : ""; };
    report.facts = {{"settings_file", s.path},          {"temp_dir", folder(s.temp())},
                    {"backup_dir", folder(s.backup())}, {"client_dir", folder(s.client())},
                    {"client", s.clientExe()},          {"last_backup", last}};
    report.settingsSaved = s.saved;
    report.autobackup = *s.values.autobackup;
    report.intervalMinutes = s.minutes();
    if (backupSet) {
        for (const auto& [name, place] :
             {std::pair{"newest", &places.newest}, std::pair{"older", &places.older}}) {
            if (place->empty()) continue;
            report.generations.push_back(
                Reported(name, *place, SummarizeGeneration(*place, Subfolders(s), true)));
        }
    }
    return kSucceeded;
}

int ShowConfig(const CliSettings& s, const Console& console) {
    auto onOff = [](const std::optional<bool>& on) { return std::string(*on ? "on" : "off"); };
    StatusLine(console, LanguageText(s.language, TextId::StatusSettings), s.FileLine());
    StatusLine(console, "--temp-dir", FolderOrNotSet(s, s.temp()));
    StatusLine(console, "--backup-dir", FolderOrNotSet(s, s.backup()));
    StatusLine(console, "--client-dir", FolderOrNotSet(s, s.client()));
    StatusLine(console, "--interval", std::to_string(s.minutes()));
    StatusLine(console, "--autobackup", onOff(s.values.autobackup));
    StatusLine(console, "--start-client", onOff(s.values.startClient));
    StatusLine(console, "--restart-client", onOff(s.values.restartClient));
    return kSucceeded;
}

int Config(CliSettings& s, const std::map<std::string, std::string>& values,
           ProcessTable& processes, Console& console) {
    auto given = [&values](const char* option) {
        const auto found = values.find(option);
        return found == values.end() ? std::optional<std::string>() : found->second;
    };
    for (const char* option : {"--temp-dir", "--backup-dir", "--client-dir"}) {
        if (given(option) && !LooksLikeAbsolutePath(*given(option))) {
            console.Complain(LanguageText(s.language, TextId::FolderNotFullPath) + option + " " +
                             *given(option));
            return kRefused;
        }
    }
    int minutes = s.minutes();
    if (given("--interval") && (!ParseWholeNumber(*given("--interval"), minutes) ||
                                minutes < kMinIntervalMinutes || minutes > kMaxIntervalMinutes)) {
        console.Complain(s.messages.msg_interval_range);
        return kRefused;
    }
    StoredSettings& v = s.values;
    if (given("--temp-dir")) v.tempFolder = *given("--temp-dir");
    if (given("--backup-dir")) v.backupFolder = *given("--backup-dir");
    // As the field's change handler: only a folder other than the one shown is recognised anew.
    if (given("--client-dir") && *given("--client-dir") != s.client()) {
        SetClientFolder(s, *given("--client-dir"), processes, console);
    }
    v.interval = std::to_string(minutes);
    for (const auto& [option, box] :
         {std::pair{"--autobackup", &v.autobackup}, std::pair{"--start-client", &v.startClient},
          std::pair{"--restart-client", &v.restartClient}}) {
        if (given(option)) *box = *given(option) == "on";
    }
    // The command line sets no log-in start: the window's entry stays as it is.
    if (!WriteStoredSettings(s.path, v, nullptr)) {
        console.Complain("cannot write the settings file '" + s.path +
                         "': " + std::strerror(errno));
        return kFailed;
    }
    s.saved = true;
    return ShowConfig(s, console);
}

int Backup(const CliSettings& s, Console& console, CliReport& report) {
    const RunFolders folders = TidiedFolders(s);
    if (!TempFolderThere(s, TrimTrailingSeparators(folders.temp), console)) return kRefused;
    if (BackupInsideTemp(Subfolders(s), folders.backup, folders.temp)) {
        console.Tell(Severity::Error, s.messages.msg_backup_in_temp);
        return kRefused;
    }
    TabfFileOperation op;
    // Waits for the generation thrown away as it ends, before the caller gives up the lock.
    BackgroundRemoval removal;
    const BackupReport result = RunBackup(BackupRequest(RunInputsOf(s, folders)), op, removal);
    const RunTexts texts = BackupTexts(s.messages, result);
    for (const RunMessage& message : texts.messages) {
        // Nothing to back up is an idle client, no error: --quiet keeps it back.
        if (result.outcome == RunResult::NothingToDo) {
            console.Tell(Severity::Info, message.text);
        } else {
            console.TellRunMessage(s.messages, message);
        }
    }
    ReportBackup(result, report);
    // A run that found nothing to do made no backup, and is no part of the history.
    if (result.outcome != RunResult::NothingToDo) {
        bool warned = false;
        Record(s, console,
               RecordOf(false, false, result.files, result.damaged,
                        result.outcome == RunResult::Succeeded, texts.history),
               false, warned);
    }
    return ExitOf(BackupEnd(result));
}

int Restore(const CliSettings& s, ProcessTable& processes, const RestoreChoice& choice,
            Console& console, CliReport& report) {
    auto sources = [&s] {
        return FindRestoreSources(TrimTrailingSeparators(s.backup()),
                                  TrimTrailingSeparators(s.temp()),
                                  TrimTrailingSeparators(s.client()), Subfolders(s));
    };
    const bool chosen = choice.lost || !choice.only.empty();
    std::vector<std::string> only;
    std::vector<std::string> onlyFromOlder;
    if (chosen) {
        const BackupContents contents = ReadContentsOf(s);
        const ChosenPlaces picked =
            ChooseDownloads(s, contents, choice.only, choice.lost, choice.older, console);
        if (picked.refused) return kRefused;
        std::vector<std::string> all = picked.places;
        all.insert(all.end(), picked.fromOlder.begin(), picked.fromOlder.end());
        report.places = all;
        // Only --lost gets here without a place: an empty list would restore everything.
        if (all.empty()) {
            console.Say(NothingLostText(s.language));
            return kSucceeded;
        }
        if (!choice.yes) {
            report.look = true;
            ShowDownloads(s, contents, all, choice.older, console);
            console.Say(ChosenNeedsYesText(s.language));
            return kSucceeded;
        }
        only = picked.places;
        onlyFromOlder = picked.fromOlder;
    } else if (!choice.yes) {
        report.look = true;
        const RestoreSources found = sources();
        const std::string backup = TrimTrailingSeparators(s.backup());
        for (const auto& [prefix, g] : {std::pair{TextId::NewestBackupPrefix, found.newest},
                                        std::pair{TextId::OlderBackupPrefix, found.older}}) {
            if (g.present) console.Out(DescribeGeneration(s.language, prefix, g));
            const bool newest = prefix == TextId::NewestBackupPrefix;
            report.generations.push_back(
                Reported(newest ? "newest" : "older", newest ? backup : backup + "_old", g));
        }
        if (!found.newest.present && !found.older.present) {
            console.Say(s.messages.msg_nothing_to_restore);
        }
        // What a full restore would cost: downloads that got further since the backup.
        const std::size_t ahead =
            CountAheadOfBackup(ReadContentsOf(s), choice.older || found.OnlyOlder());
        report.aheadOfBackup = ahead;
        if (ahead > 0) {
            console.Say(SetBackText(s.language, ahead, choice.older || found.OnlyOlder()));
        }
        console.Say(LanguageText(s.language, TextId::RestoreNeedsYes));
        return kSucceeded;
    }
    // Without --older, as the window's Restore answered Yes: the newest generation, passed over
    // where only the older one holds part files. Chosen downloads come from the one named.
    const bool fromOlder = choice.older || (!chosen && sources().OnlyOlder());
    // A running client rewrites its part files from memory within a minute, so a restore now
    // would be lost while reported as done.
    const ClientRun client = FindClientRun(processes, s.client(), s.clientExe());
    if (client.running) {
        console.Tell(Severity::Error, ClientRunningRefusal(s.messages, s.language, client));
        return kRefused;
    }
    const RunFolders folders = TidiedFolders(s);
    if (BackupInsideTemp(Subfolders(s), folders.backup, folders.temp)) {
        console.Tell(Severity::Error, s.messages.msg_backup_in_temp);
        return kRefused;
    }
    RestoreRequest request(RunInputsOf(s, folders));
    request.older = fromOlder;
    request.only = only;
    request.onlyFromOlder = onlyFromOlder;
    RestoreReport result;
    result.refusal = RestoreOwnerRefusal(request);
    TabfFileOperation op;
    BackgroundRemoval removal;
    if (result.refusal.kind == RefusalKind::None) {
        result = RunRestore(request, op, removal);
    } else {
        result.outcome = RunResult::Refused;
    }
    const RunTexts texts = RestoreTexts(s.messages, result);
    for (const RunMessage& message : texts.messages) console.TellRunMessage(s.messages, message);
    report.files = result.files;
    report.damaged = result.damagedCopies.size();
    report.damagedCopies = result.damagedCopies;
    report.extrasFailed = result.extrasFailed;
    bool warned = false;
    Record(s, console,
           RecordOf(true, false, result.files, result.damagedCopies.size(),
                    result.outcome == RunResult::Succeeded, texts.history),
           false, warned);
    return ExitOf(RestoreEnd(result));
}

std::string RunTimeText(const std::string& language, long long seconds) {
    const bool de = language == "DE";
    if (seconds < 0) seconds = 0;
    if (seconds < 60) return std::to_string(seconds) + (de ? " Sek." : " s");
    const long long minutes = seconds / 60 % 60, hours = seconds / 3600 % 24,
                    days = seconds / 86400;
    std::string text;
    auto add = [&text](long long count, const char* unit) {
        text += (text.empty() ? "" : " ") + std::to_string(count) + unit;
    };
    if (days > 0) add(days, de ? " T." : " d");
    if (hours > 0) add(hours, de ? " Std." : " h");
    // Minutes say little beside days.
    if (days == 0 && (minutes > 0 || hours == 0)) add(minutes, de ? " Min." : " min");
    return text;
}

int Run(CliSettings s, ProcessTable& processes, ToldProgramStarter& starter, Console& console,
        const SettingsReload& reload) {
    // When the client was started or first seen running, and how long it ran where a step found
    // it gone: its restart tells that.
    std::optional<std::time_t> clientSince;
    std::optional<std::time_t> clientRan;
    starter.tell = [&](bool started, const std::string& commandLine) {
        const StartCommand client = ClientStartCommand(s.client(), s.clientExe());
        std::string clientLine = client.program;
        for (const std::string& argument : client.arguments) clientLine += " " + argument;
        const std::time_t now = std::time(nullptr);
        std::string text =
            LanguageText(s.language, started ? TextId::ProgramStarted : TextId::ProgramNotStarted) +
            commandLine;
        if (started && commandLine == clientLine) {
            if (clientSince) clientRan = now - *clientSince;
            if (clientRan) {
                const std::string ran = RunTimeText(s.language, *clientRan);
                text = s.language == "DE"
                           ? "erneut gestartet, nachdem es " + ran + " lief: " + commandLine
                           : "started again after it ran " + ran + ": " + commandLine;
            }
            clientSince = now;
            clientRan.reset();
        }
        console.Tell(started ? Severity::Info : Severity::Error, text);
    };
    Supervisor supervisor;
    const SupervisorTools tools{processes, starter, [] { return std::time(nullptr); }, {}, {}};
    // As the window's loader starts them: the client, but not where aMule runs on its
    // configuration already, then the AppRunner program.
    if (*s.values.startClient && ClientStartsWithProgram(processes, s.client(), s.clientExe())) {
        supervisor.Start(Watched::Client, ClientStartCommand(s.client(), s.clientExe()), tools);
    }
    if (*s.values.launchpadStartup &&
        !supervisor.Start(Watched::AppRunner, {*s.values.launchpadPath, {}}, tools)) {
        console.Tell(Severity::Error, s.messages.msg_app_not_started);
    }
    if (!FoldersSet(s, console)) return kRefused;

    WatchTargets targets;
    auto watch = [&] {
        const StoredSettings& v = s.values;
        targets.client = *v.restartClient;
        targets.clientFolder = s.client();
        targets.clientExe = s.clientExe();
        // The AppRunner's watch is in force only where it starts with the program.
        targets.appRunner = *v.launchpadStartup && *v.launchpadRestart;
        targets.appRunnerPath = *v.launchpadPath;
    };
    watch();
    auto observe = [&] {
        if (!s.clientExe().empty()) {
            const bool running = FindClientRun(processes, s.client(), s.clientExe()).running;
            const std::time_t now = std::time(nullptr);
            if (running && !clientSince) {
                clientSince = now;
                clientRan.reset();
            } else if (!running && clientSince) {
                clientRan = now - *clientSince;
                clientSince.reset();
            }
        }
        supervisor.Tick(targets, tools);
        for (const HeldBack& held : supervisor.DueNotices(targets, processes)) {
            console.Tell(Severity::Warning, RestartsHeldText(s.language, held, " "));
            supervisor.NoticeGiven(held.program);
        }
    };
    bool historyWarned = false;
    BackgroundRemoval removal;
    // Automatic runs tell only what would go unseen otherwise, and their line in the history.
    auto backUp = [&] {
        if (BackupInsideTemp(Subfolders(s), s.backup(), s.temp())) {
            console.Tell(Severity::Error, s.messages.msg_backup_in_temp);
            return;
        }
        if (!FindClientRun(processes, s.client(), s.clientExe()).running) return;
        TabfFileOperation op;
        const BackupReport report = RunBackup(
            BackupRequest(RunInputsOf(s, {s.temp(), s.backup(), s.client()})), op, removal);
        const RunTexts texts = BackupTexts(s.messages, report);
        for (const RunMessage& message : texts.messages) {
            if (message.failure && message.alwaysShown) {
                console.Tell(Severity::Error, message.text);
            }
        }
        if (report.outcome == RunResult::NothingToDo) return;
        Record(s, console,
               RecordOf(false, true, report.files, report.damaged,
                        report.outcome == RunResult::Succeeded, texts.history),
               true, historyWarned);
    };
    std::vector<Period> periods;
    auto schedule = [&] {
        periods = {{std::chrono::seconds(10), observe}};
        if (*s.values.autobackup) periods.push_back({std::chrono::minutes(s.minutes()), backUp});
    };
    schedule();
    // SIGHUP: the settings read again, for the watch and the schedule; the programs started
    // stay as they are. Settings that cannot be read leave the old ones in force.
    auto hangUp = [&] {
        CliSettings again = s;
        if (!reload(again, [&removal] { removal.Wait(); })) return;
        s = std::move(again);
        watch();
        schedule();
        console.Tell(Severity::Info, CliTextOf(s.language, CliText::Reloaded) + s.path + "; " +
                                         LanguageText(s.language, TextId::RunStartedPrefix) +
                                         AutobackupLine(s));
    };

    console.Tell(Severity::Info,
                 LanguageText(s.language, TextId::RunStartedPrefix) + AutobackupLine(s));
    const int signal = RunUntilSignal(
        supervisor, periods, [&] { supervisor.StartedProgramEnded(targets, tools); }, hangUp,
        console);
    if (signal < 0) {
        console.Complain(std::string("cannot wait for signals: ") + std::strerror(errno));
        return kFailed;
    }
    const char* name = signal == SIGTERM ? "SIGTERM" : "SIGINT";
    console.Tell(Severity::Info, LanguageText(s.language, TextId::RunEndedPrefix) + name);
    return kSucceeded;
}

// The words of a reload that was refused, for the caller of Run.
std::string NotReloadedText(const std::string& language) {
    return CliTextOf(language, CliText::NotReloaded);
}

}  // namespace hw
