// One manual backup of 1,000 and 10,000 synthetic part files against a fresh copy of the same
// folder: `rm -rf C && cp -r T C && sync -f C` (a backup also throws a generation away). Both
// sides run in turn, each from the same state (the previous generation present, everything
// synced), and the median of the per-pair ratios is printed. Goal: at most 0.5.
//
// The part files were last written an hour ago, as most downloads were; before each pair of
// runs a share of them is rewritten (new content and size), as active downloads are, with the
// time of a minute earlier (the shortest interval of automatic backups: the runs here follow
// each other within a second, which no client and schedule do).
//
// backup_bench [folder] [runs] [percent rewritten]: the folder defaults to the build folder's
// disk, runs to 7, the share to 10 and 0 (both measured). As root a tmpfs is measured as well.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/services.h"
#include "ui/main_form.h"

namespace fs = std::filesystem;

namespace {

class SilentDialogs : public hw::Dialogs {
  public:
    void ShowMessage(const std::string&, const std::string&) override {}
    void ShowErrorReport(const std::string&, const std::string&) override {}
    bool AskYesNo(const std::string&) override { return true; }
    std::vector<std::string> OpenFiles(const hw::OpenDialog&, const std::string&) override {
        return {};
    }
    std::string BrowseFolder(const hw::FolderBrowse&) override { return {}; }
};

class NoProcesses : public hw::ProcessTable {
  public:
    bool IsProcessRunning(const std::string&) override { return false; }
    std::vector<std::vector<std::string>> ArgumentsOf(const std::string&) override { return {}; }
};

// A part.met as the clients write it: a header, one 16-byte hash per 9.28 MB part of the
// download, then tags (file name, sizes, and the gaps still missing). 0.2 to 22 KB.
std::string MakePartMet(std::mt19937& random, int index) {
    std::string out;
    auto put = [&](std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
    };
    auto putBytes = [&](int count) {
        for (int i = 0; i < count; ++i) out.push_back(static_cast<char>(random()));
    };
    const std::uint64_t fileSize =
        std::uniform_int_distribution<std::uint64_t>(200'000, 4'400'000'000ULL)(random);
    const std::uint64_t partSize = 9'728'000;
    const std::uint64_t parts = (fileSize + partSize - 1) / partSize;
    put(0xE0, 1);        // version
    put(1700000000, 4);  // date
    putBytes(16);        // file hash
    const std::uint64_t hashes = parts > 1 ? parts : 0;
    put(hashes, 2);
    putBytes(static_cast<int>(16 * hashes));
    const int gaps = std::uniform_int_distribution<int>(0, 12)(random);
    put(4 + 2 * gaps, 4);  // tag count
    const std::string name = "download-" + std::to_string(index) + "-" +
                             std::string(std::uniform_int_distribution<int>(10, 90)(random), 'n');
    put(0x02, 1), put(1, 2), put(0x01, 1), put(name.size(), 2), out += name;  // file name
    put(0x03, 1), put(1, 2), put(0x02, 1), put(fileSize, 4);                  // file size
    put(0x03, 1), put(1, 2), put(0x08, 1), put(fileSize / 3, 4);              // transferred
    put(0x03, 1), put(1, 2), put(0x13, 1), put(1, 4);                         // priority
    for (int g = 0; g < 2 * gaps; ++g) {
        put(0x03, 1), put(3, 2), put(g % 2 ? 0x0A : 0x09, 1), put(g, 2), put(random(), 4);
    }
    return out;
}

double Seconds(const std::chrono::steady_clock::time_point& start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::unique_ptr<hw::MainForm> MakeForm(hw::Services& services, const std::string& root) {
    auto form = std::make_unique<hw::MainForm>(services);
    form->edit_tempdir.setText(root + "/temp");
    form->edit_backupdir.setText(root + "/backup");
    form->edit_clientdir.setText(root + "/client");
    return form;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string PartPath(const std::string& root, int index) {
    return root + "/temp/" + std::to_string(100000 + index) + ".part.met";
}

void WritePart(const std::string& root, int index, std::mt19937& random, time_t age) {
    std::ofstream(PartPath(root, index), std::ios::binary) << MakePartMet(random, index);
    const struct timespec written = {::time(nullptr) - age, 0};
    const struct timespec times[2] = {written, written};
    ::utimensat(AT_FDCWD, PartPath(root, index).c_str(), times, 0);
}

// Prints one line: the medians of both sides and of their ratio.
void Measure(const std::string& label, const std::string& base, int files, int runs,
             int percentRewritten) {
    std::string pattern = base + "/hoardwise-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror(base.c_str());
        return;
    }
    const std::string root = pattern;
    fs::create_directories(root + "/temp");
    std::mt19937 random(static_cast<unsigned>(files));
    for (int i = 0; i < files; ++i) WritePart(root, i, random, 3600);
    SilentDialogs dialogs;
    NoProcesses processes;
    hw::Services services;
    services.dialogs = &dialogs;
    services.processes = &processes;
    // The steady state of a backup folder: B, B_old and whatever the engine keeps beside them.
    for (int i = 0; i < 3; ++i) MakeForm(services, root)->btn_backupClick();
    const std::string copy = root + "/cp-copy";
    const std::string command = "rm -rf '" + copy + "' && cp -r '" + root + "/temp' '" + copy +
                                "' && sync -f '" + copy + "'";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "cp failed\n");

    std::vector<double> backups, copies, ratios;
    const int rewritten = files * percentRewritten / 100;
    for (int run = 0; run < runs; ++run) {
        for (int k = 0; k < rewritten; ++k) {
            WritePart(root, (run * rewritten + k) % files, random, 60);
        }
        double backup = 0, cp = 0;
        // Alternating which side goes first, so that neither always follows the other's
        // writeback.
        for (int side = 0; side < 2; ++side) {
            const bool backupNow = (side == 0) == (run % 2 == 0);
            ::sync();
            if (backupNow) {
                auto form = MakeForm(services, root);
                const auto start = std::chrono::steady_clock::now();
                form->btn_backupClick();
                form.reset();  // waits for a removal the run left in the background
                backup = Seconds(start);
            } else {
                const auto start = std::chrono::steady_clock::now();
                if (std::system(command.c_str()) != 0) std::fprintf(stderr, "cp failed\n");
                cp = Seconds(start);
            }
        }
        backups.push_back(backup);
        copies.push_back(cp);
        ratios.push_back(backup / cp);
    }
    std::printf(
        "%-28s %6d files, %3d%% rewritten: backup %8.1f ms, cp -r + sync -f %8.1f ms, median "
        "ratio %.2f (range %.2f-%.2f, %d runs)\n",
        label.c_str(), files, percentRewritten, Median(backups) * 1000, Median(copies) * 1000,
        Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
        *std::max_element(ratios.begin(), ratios.end()), runs);
    std::fflush(stdout);
    fs::remove_all(root);
}

std::string FileSystemOf(const std::string& folder) {
    std::string out;
    const std::string command = "df --output=fstype '" + folder + "' 2>/dev/null | tail -n 1";
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char line[64] = {};
        if (std::fgets(line, sizeof line, pipe) != nullptr) out = line;
        ::pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : HOARDWISE_BENCH_DEFAULT_DIR;
    const int runs = std::max(argc > 2 ? std::atoi(argv[2]) : 7, 1);
    const std::vector<int> shares = argc > 3
                                        ? std::vector<int>{std::clamp(std::atoi(argv[3]), 0, 100)}
                                        : std::vector<int>{10, 0};
    const std::vector<int> sizes{1000, 10000};
    auto measureAll = [&](const std::string& label, const std::string& base) {
        for (int share : shares) {
            for (int files : sizes) Measure(label, base, files, runs, share);
        }
    };
    measureAll(FileSystemOf(folder) + " " + folder, folder);

    std::string mountPoint = folder + "/hoardwise-tmpfs-XXXXXX";
    if (::mkdtemp(mountPoint.data()) == nullptr) return 0;
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=1g") == 0) {
        measureAll("tmpfs", mountPoint);
        ::umount2(mountPoint.c_str(), MNT_DETACH);
    } else {
        std::printf("tmpfs: not measured (cannot mount one here)\n");
    }
    ::rmdir(mountPoint.c_str());
    return 0;
}
