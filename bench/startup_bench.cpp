// How long Hoardwise takes from its exec to the map of its window, against a bare Qt 6 program
// that shows one empty window (bare_window, built beside this one) and against the same window
// with one line of text (text_window: the font set-up alone). All run on a private Xvfb without
// a window manager, in turns (the first one changing from round to round); the table shows each
// program's median and the medians of the per-round ratios to both yardsticks.
//
// Hoardwise starts as a user's everyday copy would: its settings file beside it names an aMule
// configuration folder as the client folder, the client started with the program and watched,
// automatic backups off. The client's program is not on the PATH the programs get, so the start
// fails silently instead of starting a real client. HOME, XDG_RUNTIME_DIR and XDG_CONFIG_HOME
// point into a scratch folder, so that neither the user's settings nor a running copy count.
//
// startup_bench [--rounds 15] [--hoardwise PATH[,PATH...]] [--bare PATH]
// Several Hoardwise programs (say, before and after a change) are measured in the same rounds.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMapTimeoutMs = 20000;

struct Options {
    int rounds = 15;
    std::vector<std::string> hoardwise{HOARDWISE_BENCH_GUI};
    std::string bare = HOARDWISE_BENCH_BARE;
};

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) {
        if (!item.empty()) items.push_back(fs::absolute(item).string());
    }
    return items;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return false;
        if (arg == "--rounds") {
            options.rounds = std::atoi(argv[++i]);
            if (options.rounds < 1) return false;
        } else if (arg == "--hoardwise") {
            options.hoardwise = SplitList(argv[++i]);
            if (options.hoardwise.empty()) return false;
        } else if (arg == "--bare") {
            options.bare = fs::absolute(argv[++i]).string();
        } else {
            return false;
        }
    }
    return true;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

void WriteText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::trunc) << text;
}

// A private X server; its display number comes back through a pipe once it accepts clients.
class Xvfb {
  public:
    ~Xvfb() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    std::string Start() {
        int ready[2];
        if (::pipe(ready) != 0) return {};
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            const std::string fd = std::to_string(ready[1]);
            const int devnull = ::open("/dev/null", O_WRONLY);
            ::dup2(devnull, STDERR_FILENO);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
                     "-nolisten", "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ready[1]);
        std::string number;
        char c;
        while (::read(ready[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(ready[0]);
        return number.empty() ? std::string() : ":" + number;
    }

  private:
    pid_t pid_ = -1;
};

// One program to start: its path, and the settings file to write beside it before each start.
struct Program {
    std::string label;
    std::string path;
    std::string settingsFile;
    std::string settings;
};

class Bench {
  public:
    Bench(xcb_connection_t* x, std::vector<std::string> environment)
        : x_(x), environment_(std::move(environment)) {}

    // Seconds from the fork to the map of the program's first managed window; negative when none
    // was mapped in time.
    double Measure(const Program& program) {
        if (!program.settingsFile.empty()) WriteText(program.settingsFile, program.settings);
        Drain();
        const auto start = Clock::now();
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::vector<char*> env;
            for (std::string& entry : environment_) env.push_back(entry.data());
            env.push_back(nullptr);
            const int devnull = ::open("/dev/null", O_WRONLY);
            ::dup2(devnull, STDOUT_FILENO);
            ::dup2(devnull, STDERR_FILENO);
            char* const args[] = {const_cast<char*>(program.path.c_str()), nullptr};
            ::execve(program.path.c_str(), args, env.data());
            ::_exit(127);
        }
        const double took = WaitForMap(start);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return took;
    }

  private:
    void Drain() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(x_)) std::free(event);
    }

    double WaitForMap(Clock::time_point start) {
        pollfd watch{xcb_get_file_descriptor(x_), POLLIN, 0};
        for (;;) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(x_)) {
                const bool mapped =
                    (event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                    !reinterpret_cast<xcb_map_notify_event_t*>(event)->override_redirect;
                std::free(event);
                if (mapped) return std::chrono::duration<double>(Clock::now() - start).count();
            }
            const int left = kMapTimeoutMs -
                             static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  Clock::now() - start)
                                                  .count());
            if (left <= 0 || xcb_connection_has_error(x_)) return -1;
            ::poll(&watch, 1, left);
        }
    }

    xcb_connection_t* x_;
    std::vector<std::string> environment_;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--rounds 15] [--hoardwise PATH[,PATH...]] [--bare PATH]\n",
                     argv[0]);
        return 2;
    }
    Xvfb xvfb;
    const std::string display = xvfb.Start();
    if (display.empty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    xcb_connection_t* x = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "no connection to %s\n", display.c_str());
        return 1;
    }
    // Without a window manager every top-level map is reported on the root window.
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    std::string scratch = (fs::temp_directory_path() / "hoardwise-startup-XXXXXX").string();
    if (::mkdtemp(scratch.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string home = scratch + "/home";
    const std::string config = home + "/.aMule";
    WriteText(config + "/amule.conf", "[eMule]\nTempDir=" + scratch + "/temp\n");
    fs::create_directories(scratch + "/temp");
    fs::create_directories(scratch + "/bin");
    fs::create_directories(scratch + "/run");
    fs::permissions(scratch + "/run", fs::perms::owner_all);

    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        const char* const dropped[] = {"DISPLAY", "WAYLAND_DISPLAY",          "QT_QPA_PLATFORM",
                                       "HOME",    "XDG_RUNTIME_DIR",          "XDG_CONFIG_HOME",
                                       "PATH",    "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER"};
        if (std::none_of(std::begin(dropped), std::end(dropped),
                         [&](const char* drop) { return name == drop; })) {
            environment.push_back(text);
        }
    }
    for (const std::string& entry :
         {"DISPLAY=" + display, std::string("QT_QPA_PLATFORM=xcb"), "HOME=" + home,
          "XDG_RUNTIME_DIR=" + scratch + "/run", "XDG_CONFIG_HOME=" + home + "/.config",
          "PATH=" + scratch + "/bin"}) {
        environment.push_back(entry);
    }

    // The second yardstick: what any window pays that shows text.
    std::vector<Program> programs{{"bare Qt window", options.bare, "", ""},
                                  {"Qt window with one label", HOARDWISE_BENCH_TEXT, "", ""}};
    const std::string settings =
        "[DIRECTORIES]\nTEMPDIR=" + scratch + "/temp\nBACKUPDIR=" + scratch +
        "/backup\nCLIENTDIR=" + config +
        "\nCLIENTEXE=amule\n[AUTOBACKUP]\nENABLED=FALSE\nINTERVAL=30\n"
        "[GENERAL SETTINGS]\nSTART MINIMIZED=FALSE\nSTART DONKEYCLIENT=TRUE\n"
        "RESTART DONKEYCLIENT=TRUE\nLANGUAGE=EN\n";
    for (std::size_t i = 0; i < options.hoardwise.size(); ++i) {
        // A copy in a folder of its own: the settings file is looked for beside the program.
        const std::string folder = scratch + "/hw" + std::to_string(i);
        fs::create_directories(folder);
        fs::copy_file(options.hoardwise[i], folder + "/hoardwise");
        programs.push_back(
            {options.hoardwise[i], folder + "/hoardwise", folder + "/hoardwise.INI", settings});
    }

    Bench bench(x, environment);
    std::printf("display %s, load before: %s\n", display.c_str(), LoadAverage().c_str());
    std::fflush(stdout);
    // One start of each first fills the caches of the disk and of fontconfig.
    for (const Program& program : programs) bench.Measure(program);
    const std::size_t n = programs.size();
    std::vector<std::vector<double>> times(n), ratios(n), textRatios(n);
    int failures = 0;
    for (int round = 0; round < options.rounds; ++round) {
        std::vector<double> took(n);
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t side = (round + k) % n;
            took[side] = bench.Measure(programs[side]);
        }
        if (*std::min_element(took.begin(), took.end()) < 0) {
            ++failures;
            continue;
        }
        for (std::size_t side = 0; side < n; ++side) {
            times[side].push_back(took[side]);
            ratios[side].push_back(took[side] / took[0]);
            textRatios[side].push_back(took[side] / took[1]);
        }
    }
    xcb_disconnect(x);
    fs::remove_all(scratch);
    if (times[0].empty()) {
        std::fprintf(stderr, "no window was mapped\n");
        return 1;
    }
    std::printf("\n%-40s  %6s  %9s  %6s  %6s  %12s  %12s\n", "program", "rounds", "median ms",
                "min", "max", "ratio to bare", "to one label");
    for (std::size_t side = 0; side < n; ++side) {
        const auto [low, high] = std::minmax_element(times[side].begin(), times[side].end());
        std::printf("%-40s  %6zu  %9.1f  %6.1f  %6.1f  %12.2f  %12.2f\n",
                    programs[side].label.c_str(), times[side].size(), Median(times[side]) * 1000,
                    *low * 1000, *high * 1000, Median(ratios[side]), Median(textRatios[side]));
    }
    if (failures > 0) std::printf("%d rounds left out: a window did not map in time\n", failures);
    std::printf(
        "Exec to the map of the window; ratios = the medians of program / yardstick per round.\n");
    std::printf("load after: %s\n", LoadAverage().c_str());
    return 0;
}
