#include "app/cli_commands.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <utility>
#include <vector>

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
        case RunEnd::Failed:
        case RunEnd::None:  // nothing to back up: told, and no backup made
            break;
    }
    return kFailed;
}

// One labelled line of the status report, the values aligned.
void StatusLine(const std::string& label, const std::string& value) {
    std::string padded = label;
    std::size_t shown = 0;
    for (const unsigned char c : label) shown += (c & 0xC0) != 0x80;
    if (shown < 20) padded.append(20 - shown, ' ');
    std::printf("%s%s\n", padded.c_str(), value.c_str());
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

// Adds a run to the history, its line told by a service (`tellLine`); that the history is no
// regular file is told once a program run (`warned`).
void Record(const CliSettings& s, RunRecord run, bool tellLine, bool& warned) {
    run.when = std::time(nullptr);
    run.folder = BackupFolderName(TrimTrailingSeparators(s.backup()));
    const RecordedRun recorded = RecordRun(UserHistoryFile(), s.language, run);
    if (tellLine) WriteLines(stderr, recorded.line);
    if (!recorded.notAFile.empty() && !warned) {
        WriteLines(stderr, recorded.notAFile);
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

BackupRequest BackupRequestOf(const CliSettings& s, const RunFolders& folders) {
    BackupRequest request;
    request.temp = TrimTrailingSeparators(folders.temp);
    request.backup = TrimTrailingSeparators(folders.backup);
    request.client = TrimTrailingSeparators(folders.client);
    request.subfolders = Subfolders(s);
    request.entries = *s.values.additionalFiles;
    request.settingsFile = s.path;
    return request;
}

}  // namespace

bool FoldersSet(const CliSettings& s) {
    for (const auto& [folder, id] :
         {std::pair{&s.temp(), TextId::TempNotSet}, std::pair{&s.backup(), TextId::BackupNotSet}}) {
        if (!LooksLikeAbsolutePath(*folder)) {
            Complain(LanguageText(s.language, id));
            return false;
        }
    }
    return true;
}

int Status(const CliSettings& s, ProcessTable& processes) {
    auto label = [&s](TextId id) { return LanguageText(s.language, id); };
    StatusLine(label(TextId::StatusSettings), s.FileLine());
    StatusLine(label(TextId::StatusTemp), FolderOrNotSet(s, s.temp()));
    StatusLine(label(TextId::StatusBackup), FolderOrNotSet(s, s.backup()));
    StatusLine(label(TextId::StatusClientFolder), FolderOrNotSet(s, s.client()));
    std::string client = label(TextId::NoClient);
    if (!s.clientExe().empty()) {
        const bool running = FindClientRun(processes, s.client(), s.clientExe()).running;
        client = s.clientExe() + label(running ? TextId::ClientRunning : TextId::ClientNotRunning);
    }
    StatusLine(label(TextId::StatusClient), client);
    const std::string backup = TrimTrailingSeparators(s.backup());
    const bool backupSet = LooksLikeAbsolutePath(backup);
    const GenerationPlaces places = PlacesAfterRepair(backup, TrimTrailingSeparators(s.temp()),
                                                      TrimTrailingSeparators(s.client()));
    StatusLine(label(TextId::NewestBackupPrefix),
               backupSet ? GenerationLine(s, places.newest) : label(TextId::NotSet));
    StatusLine(label(TextId::OlderBackupPrefix),
               backupSet ? GenerationLine(s, places.older) : label(TextId::NotSet));
    StatusLine(label(TextId::StatusAutobackup), AutobackupLine(s));
    std::printf("%s\n", LastBackupLine(s.language,
                                       LastBackupRun(UserHistoryFile(), BackupFolderName(backup)),
                                       std::time(nullptr))
                            .c_str());
    return kSucceeded;
}

int ShowConfig(const CliSettings& s) {
    auto onOff = [](const std::optional<bool>& on) { return std::string(*on ? "on" : "off"); };
    StatusLine(LanguageText(s.language, TextId::StatusSettings), s.FileLine());
    StatusLine("--temp-dir", FolderOrNotSet(s, s.temp()));
    StatusLine("--backup-dir", FolderOrNotSet(s, s.backup()));
    StatusLine("--client-dir", FolderOrNotSet(s, s.client()));
    StatusLine("--interval", std::to_string(s.minutes()));
    StatusLine("--autobackup", onOff(s.values.autobackup));
    StatusLine("--start-client", onOff(s.values.startClient));
    StatusLine("--restart-client", onOff(s.values.restartClient));
    return kSucceeded;
}

int Config(CliSettings& s, const std::map<std::string, std::string>& values,
           ProcessTable& processes) {
    auto given = [&values](const char* option) {
        const auto found = values.find(option);
        return found == values.end() ? std::optional<std::string>() : found->second;
    };
    for (const char* option : {"--temp-dir", "--backup-dir", "--client-dir"}) {
        if (given(option) && !LooksLikeAbsolutePath(*given(option))) {
            Complain(LanguageText(s.language, TextId::FolderNotFullPath) + option + " " +
                     *given(option));
            return kRefused;
        }
    }
    int minutes = s.minutes();
    if (given("--interval") && (!ParseWholeNumber(*given("--interval"), minutes) ||
                                minutes < kMinIntervalMinutes || minutes > kMaxIntervalMinutes)) {
        Complain(s.messages.msg_interval_range);
        return kRefused;
    }
    StoredSettings& v = s.values;
    if (given("--temp-dir")) v.tempFolder = *given("--temp-dir");
    if (given("--backup-dir")) v.backupFolder = *given("--backup-dir");
    // As the field's change handler: only a folder other than the one shown is recognised anew.
    if (given("--client-dir") && *given("--client-dir") != s.client()) {
        SetClientFolder(s, *given("--client-dir"), processes);
    }
    v.interval = std::to_string(minutes);
    for (const auto& [option, box] :
         {std::pair{"--autobackup", &v.autobackup}, std::pair{"--start-client", &v.startClient},
          std::pair{"--restart-client", &v.restartClient}}) {
        if (given(option)) *box = *given(option) == "on";
    }
    // The command line sets no log-in start: the window's entry stays as it is.
    if (!WriteStoredSettings(s.path, v, nullptr)) {
        Complain("cannot write the settings file '" + s.path + "': " + std::strerror(errno));
        return kFailed;
    }
    s.saved = true;
    return ShowConfig(s);
}

int Backup(const CliSettings& s) {
    const RunFolders folders = TidiedFolders(s);
    if (BackupInsideTemp(Subfolders(s), folders.backup, folders.temp)) {
        WriteLines(stderr, s.messages.msg_backup_in_temp);
        return kRefused;
    }
    TabfFileOperation op;
    // Waits for the generation thrown away as it ends, before the caller gives up the lock.
    BackgroundRemoval removal;
    const BackupReport report = RunBackup(BackupRequestOf(s, folders), op, removal);
    const RunTexts texts = BackupTexts(s.messages, report);
    for (const RunMessage& message : texts.messages) TellRunMessage(s.messages, message);
    // A run that found nothing to do made no backup, and is no part of the history.
    if (report.outcome != RunResult::NothingToDo) {
        bool warned = false;
        Record(s,
               RecordOf(false, false, report.files, report.damaged,
                        report.outcome == RunResult::Succeeded, texts.history),
               false, warned);
    }
    return ExitOf(BackupEnd(report));
}

int Restore(const CliSettings& s, ProcessTable& processes, bool yes, bool older) {
    auto sources = [&s] {
        return FindRestoreSources(TrimTrailingSeparators(s.backup()),
                                  TrimTrailingSeparators(s.temp()),
                                  TrimTrailingSeparators(s.client()), Subfolders(s));
    };
    if (!yes) {
        const RestoreSources found = sources();
        for (const auto& [prefix, g] : {std::pair{TextId::NewestBackupPrefix, found.newest},
                                        std::pair{TextId::OlderBackupPrefix, found.older}}) {
            if (g.present) std::printf("%s\n", DescribeGeneration(s.language, prefix, g).c_str());
        }
        if (!found.newest.present && !found.older.present) {
            WriteLines(stdout, s.messages.msg_nothing_to_restore);
        }
        WriteLines(stdout, LanguageText(s.language, TextId::RestoreNeedsYes));
        return kRefused;
    }
    // Without --older, as the window's Restore answered Yes: the newest generation, passed over
    // where only the older one holds part files.
    const bool fromOlder = older || sources().OnlyOlder();
    // A running client rewrites its part files from memory within a minute, so a restore now
    // would be lost while reported as done.
    const ClientRun client = FindClientRun(processes, s.client(), s.clientExe());
    if (client.running) {
        WriteLines(stderr, ClientRunningRefusal(s.messages, s.language, client));
        return kRefused;
    }
    const RunFolders folders = TidiedFolders(s);
    if (BackupInsideTemp(Subfolders(s), folders.backup, folders.temp)) {
        WriteLines(stderr, s.messages.msg_backup_in_temp);
        return kRefused;
    }
    const BackupRequest from = BackupRequestOf(s, folders);
    RestoreRequest request;
    request.temp = from.temp;
    request.backup = from.backup;
    request.client = from.client;
    request.subfolders = from.subfolders;
    request.older = fromOlder;
    request.entries = from.entries;
    request.settingsFile = from.settingsFile;
    RestoreReport report;
    report.refusal = RestoreOwnerRefusal(request);
    TabfFileOperation op;
    BackgroundRemoval removal;
    if (report.refusal.kind == RefusalKind::None) {
        report = RunRestore(request, op, removal);
    } else {
        report.outcome = RunResult::Refused;
    }
    const RunTexts texts = RestoreTexts(s.messages, report);
    for (const RunMessage& message : texts.messages) TellRunMessage(s.messages, message);
    bool warned = false;
    Record(s,
           RecordOf(true, false, report.files, report.damagedCopies.size(),
                    report.outcome == RunResult::Succeeded, texts.history),
           false, warned);
    return ExitOf(RestoreEnd(report));
}

int Run(const CliSettings& s, ProcessTable& processes, ToldProgramStarter& starter) {
    const StoredSettings& v = s.values;
    starter.tell = [&s](bool started, const std::string& commandLine) {
        WriteLines(stderr, LanguageText(s.language, started ? TextId::ProgramStarted
                                                            : TextId::ProgramNotStarted) +
                               commandLine);
    };
    Supervisor supervisor;
    const SupervisorTools tools{processes, starter, [] { return std::time(nullptr); }, {}, {}};
    // As the window's loader starts them: the client, but not where aMule runs on its
    // configuration already, then the AppRunner program.
    if (*v.startClient && ClientStartsWithProgram(processes, s.client(), s.clientExe())) {
        supervisor.Start(Watched::Client, ClientStartCommand(s.client(), s.clientExe()), tools);
    }
    if (*v.launchpadStartup &&
        !supervisor.Start(Watched::AppRunner, {*v.launchpadPath, {}}, tools)) {
        WriteLines(stderr, s.messages.msg_app_not_started);
    }
    if (!FoldersSet(s)) return kRefused;

    WatchTargets targets;
    targets.client = *v.restartClient;
    targets.clientFolder = s.client();
    targets.clientExe = s.clientExe();
    // The AppRunner's watch is in force only where it starts with the program.
    targets.appRunner = *v.launchpadStartup && *v.launchpadRestart;
    targets.appRunnerPath = *v.launchpadPath;
    auto observe = [&] {
        supervisor.Tick(targets, tools);
        for (const HeldBack& held : supervisor.DueNotices(targets, processes)) {
            WriteLines(stderr, RestartsHeldText(s.language, held, " "));
            supervisor.NoticeGiven(held.program);
        }
    };
    bool historyWarned = false;
    BackgroundRemoval removal;
    // Automatic runs tell only what would go unseen otherwise, and their line in the history.
    auto backUp = [&] {
        if (BackupInsideTemp(Subfolders(s), s.backup(), s.temp())) {
            WriteLines(stderr, s.messages.msg_backup_in_temp);
            return;
        }
        if (!FindClientRun(processes, s.client(), s.clientExe()).running) return;
        TabfFileOperation op;
        const BackupReport report =
            RunBackup(BackupRequestOf(s, {s.temp(), s.backup(), s.client()}), op, removal);
        const RunTexts texts = BackupTexts(s.messages, report);
        for (const RunMessage& message : texts.messages) {
            if (message.failure && message.alwaysShown) TellRunMessage(s.messages, message);
        }
        if (report.outcome == RunResult::NothingToDo) return;
        Record(s,
               RecordOf(false, true, report.files, report.damaged,
                        report.outcome == RunResult::Succeeded, texts.history),
               true, historyWarned);
    };
    std::vector<Period> periods{{std::chrono::seconds(10), observe}};
    if (*v.autobackup) periods.push_back({std::chrono::minutes(s.minutes()), backUp});

    WriteLines(stderr, LanguageText(s.language, TextId::RunStartedPrefix) + AutobackupLine(s));
    const int signal = RunUntilSignal(supervisor, periods,
                                      [&] { supervisor.StartedProgramEnded(targets, tools); });
    if (signal < 0) {
        Complain(std::string("cannot wait for signals: ") + std::strerror(errno));
        return kFailed;
    }
    const char* name = signal == SIGTERM ? "SIGTERM" : signal == SIGINT ? "SIGINT" : "SIGHUP";
    WriteLines(stderr, LanguageText(s.language, TextId::RunEndedPrefix) + name);
    return kSucceeded;
}

}  // namespace hw
