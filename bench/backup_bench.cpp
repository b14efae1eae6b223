// How long Hoardwise takes for its bulk jobs on 1,000 to 50,000 synthetic part files, against
// copying the same folder with `cp -r` and with `rsync -a --delete`. Each side is one command
// timed as a whole process, followed by `sync -f` on the folder it wrote (the program syncs all it
// writes, so its sync finds little left): Hoardwise's is `hoardwise-cli --settings FILE backup`
// or `restore --yes`, found beside this program in the build folder.
//   first backup     into an empty backup folder;
//   repeated backup  with B, B_old and the hidden kept generation present and a tenth of the part
//                    files rewritten two seconds before each round (see RewriteShare); cp
//                    copies all anew after an rm -rf of its previous copy, rsync writes what
//                    changed in its previous copy;
//   nothing changed  the same, with no part file changed since the last backup;
//   restore to empty the backup folder into an empty temp folder;
//   restore over     the backup folder over a temp folder in which a tenth of the files changed
//                    since (and the same in the tools' earlier copies of the backup folder);
//   active downloads the repeated backup with the same tenth rewritten every round: the downloads
//                    under way. The repeated backup's tenths differ from round to round, and a
//                    backup writes into the generation three runs old: it rewrites three tenths.
// The tools copy the folders as they stand (a backup copy carries ".HWS" after the name): the
// same amount of data. Each round runs the three sides in turn, each after a sync, the first
// one changing from round to round so that none always follows another's writeback. The table
// shows medians over the rounds: of each side's time and of the per-round ratio Hoardwise time
// / tool time, and the machine's load (/proc/loadavg) when each row was done.
//
// backup_bench [folder] [--rounds 7] [--files 1000,10000,50000] [--fs disk,tmpfs,ext4,exfat]
//              [--jobs 1,2,3 or repeated-backup,nothing-changed,...] [--just-written]
// --rounds may list one count per size, in the order of --files; the last one holds for the rest.
// The folder is the disk measured, and holds the images; it defaults to the build folder. A sync
// there also writes whatever else is waiting on that disk; the ext4 image's sync writes only its
// own. The tmpfs and the images on a loop device need root.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "part_files.h"
#include "scratch_mount.h"

namespace fs = std::filesystem;

namespace hw::bench {

namespace {

// The command line timed: the one built beside the bench, or another build's (to compare two
// versions on one machine) named by HOARDWISE_BENCH_CLI.
const char* CommandLineProgram() {
    const char* other = std::getenv("HOARDWISE_BENCH_CLI");
    return other != nullptr && *other != '\0' ? other : HOARDWISE_BENCH_CLI;
}

// What a backup adds to the name of its copy of a part file.
constexpr const char* kBackupSuffix = ".HWS";
constexpr int kRewrittenPercent = 10;
// Room on a scratch file system per part file: some eight copies of it (the temp folder, three
// generations, the one being written, the tools' copies) at 4 KB blocks, with well over a tenth
// left free so that the hidden generation is kept as on a roomy disk.
constexpr long long kScratchBytesPerFile = 80 * 1024;
constexpr long long kScratchMinBytes = 256LL << 20;

const std::vector<std::string> kJobs = {"first backup",     "repeated backup", "nothing changed",
                                        "restore to empty", "restore over",    "active downloads"};
enum Job {
    kFirstBackup,
    kRepeatedBackup,
    kNothingChanged,
    kRestoreToEmpty,
    kRestoreOver,
    kActiveDownloads
};
const std::vector<std::string> kFileSystems = {"disk", "tmpfs", "ext4", "exfat"};

struct Options {
    std::string folder = HOARDWISE_BENCH_DEFAULT_DIR;
    std::vector<int> rounds{7};
    std::vector<int> sizes{1000, 10000, 50000};
    std::vector<std::string> fileSystems = kFileSystems;
    std::vector<bool> jobs = std::vector<bool>(kJobs.size(), true);  // by Job
    bool justWritten = false;  // the repeated backup right after the rewrite (see RewriteShare)
};

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) items.push_back(item);
    return items;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    bool folderGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool valueFollows = i + 1 < argc;
        if (arg == "--rounds" && valueFollows) {
            options.rounds.clear();
            for (const std::string& item : SplitList(argv[++i])) {
                options.rounds.push_back(std::atoi(item.c_str()));
                if (options.rounds.back() < 1) return false;
            }
        } else if (arg == "--files" && valueFollows) {
            options.sizes.clear();
            for (const std::string& item : SplitList(argv[++i])) {
                options.sizes.push_back(std::atoi(item.c_str()));
                if (options.sizes.back() < 1) return false;
            }
        } else if (arg == "--fs" && valueFollows) {
            options.fileSystems = SplitList(argv[++i]);
            for (const std::string& name : options.fileSystems) {
                if (std::find(kFileSystems.begin(), kFileSystems.end(), name) == kFileSystems.end())
                    return false;
            }
        } else if (arg == "--just-written") {
            options.justWritten = true;
        } else if (arg == "--jobs" && valueFollows) {
            // By number (1 is the first backup) or by name with dashes for spaces.
            options.jobs.assign(kJobs.size(), false);
            for (std::string item : SplitList(argv[++i])) {
                std::replace(item.begin(), item.end(), '-', ' ');
                std::size_t job = 0;
                while (job < kJobs.size() && kJobs[job] != item &&
                       std::to_string(job + 1) != item) {
                    ++job;
                }
                if (job == kJobs.size()) return false;
                options.jobs[job] = true;
            }
        } else if (arg.rfind("-", 0) == 0 || folderGiven) {
            return false;
        } else {
            // The program refuses folders that are no full paths: a restore would do nothing.
            options.folder = fs::absolute(arg).string();
            folderGiven = true;
        }
    }
    return !options.sizes.empty() && !options.fileSystems.empty() && !options.rounds.empty();
}

double Seconds(const std::chrono::steady_clock::time_point& start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string LoadAverage() {
    std::string text;
    if (FILE* file = std::fopen("/proc/loadavg", "r")) {
        char one[16] = {}, five[16] = {}, fifteen[16] = {};
        if (std::fscanf(file, "%15s %15s %15s", one, five, fifteen) == 3) {
            text = std::string(one) + " " + five + " " + fifteen;
        }
        std::fclose(file);
    }
    return text;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A failed command is reported: its time would say nothing.
void RunCommand(const std::string& command) {
    if (std::system(command.c_str()) != 0) std::printf("error: failed: %s\n", command.c_str());
}

void Recreate(const std::string& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
}

std::string FileSystemOf(const std::string& folder) {
    std::string out;
    const std::string command = "df --output=fstype " + ShellQuoted(folder) + " 2>/dev/null";
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char line[64] = {};
        while (std::fgets(line, sizeof line, pipe) != nullptr) out = line;
        ::pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

// One measurement's folders, all below a scratch folder on the file system measured.
struct Folders {
    explicit Folders(const std::string& scratch)
        : root(scratch),
          temp(root + "/temp"),
          generations(root + "/generations"),
          backup(generations + "/backup"),
          client(root + "/client"),
          cpCopy(root + "/cp"),
          rsyncCopy(root + "/rsync") {}
    std::string root, temp, generations, backup, client, cpCopy, rsyncCopy;
};

// Hoardwise's command line with a settings file of the scene's folders: a client folder without
// a client program (none runs), simple storing, no automatic backups. Its history goes beside
// the folders, not into the user's own.
class Hoardwise {
  public:
    explicit Hoardwise(const Folders& folders) : folders_(folders) {
        fs::create_directories(folders.client);
        const std::string settings = folders.client + "/hoardwise.INI";
        if (FILE* file = std::fopen(settings.c_str(), "w")) {
            std::fprintf(file,
                         "[DIRECTORIES]\nTEMPDIR=%s\nBACKUPDIR=%s\nCLIENTDIR=%s\n"
                         "[FILESTORING]\nMETHOD=SIMPLE\n[AUTOBACKUP]\nENABLED=FALSE\n",
                         folders.temp.c_str(), folders.backup.c_str(), folders.client.c_str());
            std::fclose(file);
        }
        command_ = "XDG_STATE_HOME=" + ShellQuoted(folders.client) + " " +
                   ShellQuoted(CommandLineProgram()) + " --quiet --settings " +
                   ShellQuoted(settings);
    }
    std::string Backup() const {
        return command_ + " backup && sync -f " + ShellQuoted(folders_.backup);
    }
    std::string Restore() const {
        return command_ + " restore --yes && sync -f " + ShellQuoted(folders_.temp);
    }

  private:
    const Folders& folders_;
    std::string command_;
};

// One side of a round: its set-up and its check are not timed.
struct Side {
    std::function<void()> prepare;
    std::function<void()> run;
    std::function<void()> check;
};

// A tool's side: a shell command, after `prepare` when given.
Side ToolSide(std::function<void()> prepare, const std::string& command) {
    return Side{std::move(prepare), [command] { RunCommand(command); }, nullptr};
}

enum SideIndex { kHoardwise, kCp, kRsync, kSideCount };

struct Row {
    int job = 0;
    std::string fileSystem;
    int files = 0;
    int rounds = 0;
    std::array<double, kSideCount> seconds{};
    double ratioCp = 0, ratioRsync = 0;
    std::string load;  // /proc/loadavg when the row was done
};

Row MeasureJob(const std::array<Side, kSideCount>& sides,
               const std::function<void(int round)>& beforeRound, int rounds) {
    std::array<std::vector<double>, kSideCount> times;
    std::vector<double> ratiosCp, ratiosRsync;
    for (int round = 0; round < rounds; ++round) {
        if (beforeRound) beforeRound(round);
        std::array<double, kSideCount> took{};
        for (int k = 0; k < kSideCount; ++k) {
            const int side = (round + k) % kSideCount;
            const Side& s = sides[side];
            if (s.prepare) s.prepare();
            ::sync();
            const auto start = std::chrono::steady_clock::now();
            s.run();
            took[side] = Seconds(start);
            if (s.check) s.check();
        }
        for (int side = 0; side < kSideCount; ++side) times[side].push_back(took[side]);
        ratiosCp.push_back(took[kHoardwise] / took[kCp]);
        ratiosRsync.push_back(took[kHoardwise] / took[kRsync]);
    }
    Row row;
    for (int side = 0; side < kSideCount; ++side) row.seconds[side] = Median(times[side]);
    row.ratioCp = Median(ratiosCp);
    row.ratioRsync = Median(ratiosRsync);
    return row;
}

// Rewrites the round's tenth of the part files, as a client does with its active downloads,
// with the same bytes in each target folder (a name there carries the target's suffix). Dated a
// minute back, the shortest interval of automatic backups: the rounds here follow each other
// within seconds, which no client and schedule do. Their change times cannot be dated back, and
// Hoardwise reads a part file changed within the last two seconds twice, after a wait for a
// write that may still be under way (tools copy whatever they meet): a client's writes are
// spread over the minute between two backups, so before the backup is timed the files are let
// age past that, unless --just-written times the backup right after all of them were written.
constexpr auto kJustWritten = std::chrono::milliseconds(2100);
// Each round rewrites the next share, so that rounds in a row change different files, unless
// `sameShare`: a client writes the part files of the downloads that are under way, round after
// round the same ones.
void RewriteShare(std::mt19937& random, int files, int round,
                  const std::vector<std::pair<std::string, std::string>>& targets,
                  bool sameShare = false) {
    const int rewritten = std::max(files * kRewrittenPercent / 100, 1);
    for (int k = 0; k < rewritten; ++k) {
        const int index = sameShare ? k : (round * rewritten + k) % files;
        const std::string bytes = MakePartMet(random, index);
        for (const auto& [folder, suffix] : targets) {
            WritePart(folder + "/" + PartName(index) + suffix, bytes, 60);
        }
    }
}

void MeasureScene(const std::string& base, const std::string& label, int files, int rounds,
                  const std::vector<bool>& jobs, bool justWritten, std::vector<Row>& rows) {
    std::string pattern = base + "/hoardwise-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror(base.c_str());
        return;
    }
    const Folders f(pattern);
    fs::create_directories(f.temp);
    std::mt19937 random(static_cast<unsigned>(files));
    // Most downloads were last written an hour ago.
    for (int i = 0; i < files; ++i) {
        WritePart(f.temp + "/" + PartName(i), MakePartMet(random, i), 3600);
    }
    Hoardwise hoardwise(f);
    const std::string where = label + ", " + std::to_string(files) + " files";
    auto count = [&](const std::string& folder, const std::string& suffix) {
        return [=] {
            const int found = CountNamesEndingIn(folder, suffix);
            if (found != files) {
                std::printf("error: %s: %s holds %d of %d *%s files\n", where.c_str(),
                            folder.c_str(), found, files, suffix.c_str());
            }
        };
    };
    auto remove = [](const std::string& folder) { return [folder] { fs::remove_all(folder); }; };
    const std::string backup = hoardwise.Backup();
    const std::string restore = hoardwise.Restore();
    const auto backedUp = count(f.backup, std::string(".part.met") + kBackupSuffix);
    const auto restored = count(f.temp, ".part.met");
    auto sync = [](const std::string& folder) { return " && sync -f " + ShellQuoted(folder); };
    auto cp = [&](const std::string& from, const std::string& to) {
        return "cp -r " + ShellQuoted(from) + " " + ShellQuoted(to) + sync(to);
    };
    auto rsync = [&](const std::string& from, const std::string& to) {
        return "rsync -a --delete " + ShellQuoted(from + "/") + " " + ShellQuoted(to + "/") +
               sync(to);
    };

    auto measure = [&](int job, const std::array<Side, kSideCount>& sides,
                       const std::function<void(int)>& beforeRound = nullptr) {
        if (!jobs[job]) return;
        const auto start = std::chrono::steady_clock::now();
        Row row = MeasureJob(sides, beforeRound, rounds);
        row.job = job;
        row.fileSystem = label;
        row.files = files;
        row.rounds = rounds;
        row.load = LoadAverage();
        rows.push_back(row);
        std::fprintf(stderr, "%s, %s: %.0f s\n", where.c_str(), kJobs[job].c_str(), Seconds(start));
    };
    const Side freshBackup{[&] { Recreate(f.generations); }, [&] { RunCommand(backup); }, backedUp};
    measure(kFirstBackup, {freshBackup, ToolSide(remove(f.cpCopy), cp(f.temp, f.cpCopy)),
                           ToolSide(remove(f.rsyncCopy), rsync(f.temp, f.rsyncCopy))});

    // The steady state of a backup folder: B, B_old and the generation kept hidden beside them.
    for (int i = 0; i < 3; ++i) RunCommand(backup);
    // rsync's copy as well, where the first backup was not measured.
    RunCommand(rsync(f.temp, f.rsyncCopy));
    const std::string cpAnew = "rm -rf " + ShellQuoted(f.cpCopy) + " && " + cp(f.temp, f.cpCopy);
    const std::array<Side, kSideCount> steadyBackup = {
        ToolSide(nullptr, backup), ToolSide(nullptr, cpAnew),
        ToolSide(nullptr, rsync(f.temp, f.rsyncCopy))};
    std::array<Side, kSideCount> checkedBackup = steadyBackup;
    checkedBackup[kHoardwise].check = backedUp;
    measure(kRepeatedBackup, checkedBackup, [&](int round) {
        RewriteShare(random, files, round, {{f.temp, ""}});
        if (!justWritten) std::this_thread::sleep_for(kJustWritten);
    });
    // The round before left every copy as the temp folder is.
    measure(kNothingChanged, checkedBackup);
    const auto rewriteActive = [&](int round) {
        RewriteShare(random, files, round, {{f.temp, ""}}, true);
        if (!justWritten) std::this_thread::sleep_for(kJustWritten);
    };
    if (jobs[kActiveDownloads]) {
        // Its steady state: no generation holds a tenth of the repeated backup's any more.
        for (int i = 0; i < 3; ++i) {
            rewriteActive(i);
            RunCommand(backup);
        }
    }
    measure(kActiveDownloads, checkedBackup, rewriteActive);

    const Side emptyRestore{[&] { Recreate(f.temp); }, [&] { RunCommand(restore); }, restored};
    measure(kRestoreToEmpty, {emptyRestore, ToolSide(remove(f.cpCopy), cp(f.backup, f.cpCopy)),
                              ToolSide(remove(f.rsyncCopy), rsync(f.backup, f.rsyncCopy))});

    if (!jobs[kRestoreToEmpty] && jobs[kRestoreOver]) {
        remove(f.cpCopy)();
        RunCommand(cp(f.backup, f.cpCopy));
        RunCommand(rsync(f.backup, f.rsyncCopy));
    }
    // cp writes over every file of its previous copy; rsync only over those that differ.
    const std::vector<std::pair<std::string, std::string>> restoreTargets = {
        {f.temp, ""}, {f.cpCopy, kBackupSuffix}, {f.rsyncCopy, kBackupSuffix}};
    measure(kRestoreOver,
            {Side{nullptr, [&] { RunCommand(restore); }, restored},
             ToolSide(nullptr, cp(f.backup + "/.", f.cpCopy)),
             ToolSide(nullptr, rsync(f.backup, f.rsyncCopy))},
            [&](int round) { RewriteShare(random, files, round, restoreTargets); });
    fs::remove_all(f.root);
}

void PrintTable(std::vector<Row> rows) {
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row& a, const Row& b) { return a.job < b.job; });
    int jobWidth = 3, fsWidth = 11;
    for (const Row& row : rows) {
        jobWidth = std::max(jobWidth, static_cast<int>(kJobs[row.job].size()));
        fsWidth = std::max(fsWidth, static_cast<int>(row.fileSystem.size()));
    }
    std::printf("\n%-*s  %-*s  %6s  %6s  %12s  %10s  %13s  %13s  %16s  %13s  %s\n", jobWidth, "job",
                fsWidth, "file system", "files", "rounds", "Hoardwise ms", "cp+sync ms",
                "rsync+sync ms", "ratio cp+sync", "ratio rsync+sync", "s/1000 files", "load");
    for (const Row& row : rows) {
        std::printf("%-*s  %-*s  %6d  %6d  %12.1f  %10.1f  %13.1f  %13.2f  %16.2f  %13.3f  %s\n",
                    jobWidth, kJobs[row.job].c_str(), fsWidth, row.fileSystem.c_str(), row.files,
                    row.rounds, row.seconds[kHoardwise] * 1000, row.seconds[kCp] * 1000,
                    row.seconds[kRsync] * 1000, row.ratioCp, row.ratioRsync,
                    row.seconds[kHoardwise] * 1000 / row.files, row.load.c_str());
    }
    std::printf(
        "Medians over the rounds; ratio = Hoardwise time / tool time per round; s/1000 files is "
        "Hoardwise's;\nHoardwise is hoardwise-cli + sync -f; load = /proc/loadavg when the row was "
        "done.\n");
}

}  // namespace

}  // namespace hw::bench

int main(int argc, char** argv) {
    using namespace hw::bench;
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [folder] [--rounds 7[,7,3]] [--files 1000,10000,50000] "
                     "[--fs disk,tmpfs,ext4,exfat]\n"
                     "  [--jobs first-backup,repeated-backup,nothing-changed,restore-to-empty,"
                     "restore-over,active-downloads (or 1-6)] [--just-written]\n",
                     argv[0]);
        return 2;
    }
    if (std::system("command -v rsync >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "rsync is not installed\n");
        return 1;
    }
    if (::access(CommandLineProgram(), X_OK) != 0) {
        std::fprintf(stderr, "%s is not built\n", CommandLineProgram());
        return 1;
    }
    std::printf("load at the start: %s\n", LoadAverage().c_str());
    const long long scratchBytes =
        std::max(kScratchMinBytes, *std::max_element(options.sizes.begin(), options.sizes.end()) *
                                       kScratchBytesPerFile);
    std::vector<Row> rows;
    for (const std::string& name : options.fileSystems) {
        ScratchMount mount;
        std::string why;
        if (name == "tmpfs") why = mount.MountTmpfs(options.folder, scratchBytes);
        if (name == "ext4" || name == "exfat") {
            why = mount.MountImage(options.folder, scratchBytes, name);
        }
        if (!why.empty()) {
            std::printf("%s: not measured (%s)\n", name.c_str(), why.c_str());
            continue;
        }
        const bool disk = name == "disk";
        const std::string label =
            disk ? "disk (" + FileSystemOf(options.folder) + ")" : mount.kind();
        if (disk) std::printf("disk: %s\n", options.folder.c_str());
        std::fflush(stdout);
        for (std::size_t i = 0; i < options.sizes.size(); ++i) {
            const int rounds = options.rounds[std::min(i, options.rounds.size() - 1)];
            MeasureScene(disk ? options.folder : mount.path(), label, options.sizes[i], rounds,
                         options.jobs, options.justWritten, rows);
        }
    }
    PrintTable(rows);
    return 0;
}
