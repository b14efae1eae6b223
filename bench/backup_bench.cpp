// A manual backup of 1,000 and 10,000 synthetic part files against `cp -r` of the same folder
// followed by `sync`. Goal: the backup takes at most 1.2 times as long, crash safety included.
// The folders lie in $HOARDWISE_BENCH_DIR (default /var/tmp), which should be on a real disk
// with a journal: ext4 without one skips every recently freed inode when it creates a file, so
// creating thousands of files right after removing thousands measures that instead.
// Runs follow each other at once, so each one also waits for the removal of the generation its
// predecessor threw away.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

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
};

// A part.met as the clients write it: a header, one 16-byte hash per 9.28 MB part of the
// download, then tags (file name, sizes, and the gaps still missing).
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

struct BenchFolder {
    std::string root;
    std::string temp;
    std::size_t bytes = 0;
};

std::string BenchBase() {
    const char* base = std::getenv("HOARDWISE_BENCH_DIR");
    return base != nullptr ? base : "/var/tmp";
}

std::map<int, BenchFolder> made;

const BenchFolder& Folder(int files) {
    auto found = made.find(files);
    if (found != made.end()) return found->second;
    BenchFolder folder;
    std::string pattern = BenchBase() + "/hoardwise-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    folder.root = pattern;
    folder.temp = folder.root + "/temp";
    fs::create_directories(folder.temp);
    std::mt19937 random(files);
    for (int i = 0; i < files; ++i) {
        const std::string content = MakePartMet(random, i);
        folder.bytes += content.size();
        std::ofstream(folder.temp + "/" + std::to_string(100000 + i) + ".part.met",
                      std::ios::binary)
            << content;
    }
    ::sync();
    return made[files] = folder;
}

std::map<std::string, double> secondsPerRun;

void Record(benchmark::State& state, const std::string& key, double seconds) {
    secondsPerRun[key] = seconds / static_cast<double>(state.iterations());
}

void BM_Backup(benchmark::State& state) {
    const BenchFolder& folder = Folder(static_cast<int>(state.range(0)));
    SilentDialogs dialogs;
    NoProcesses processes;
    hw::Services services;
    services.dialogs = &dialogs;
    services.processes = &processes;
    hw::MainForm form(services);
    form.edit_tempdir.setText(folder.temp);
    form.edit_backupdir.setText(folder.root + "/backup");
    form.edit_clientdir.setText(folder.root + "/client");
    const bool eachFile = state.range(1) != 0;
    form.abfFileOperation1.flushMethod = eachFile ? hw::TabfFileOperation::FlushMethod::EachFile
                                                  : hw::TabfFileOperation::FlushMethod::FileSystem;
    form.BackupPartFiles(false);  // so that every timed run also rotates and discards
    form.BackupPartFiles(false);
    // With range(2) set, the older generation is set aside outside the timing, so that the
    // timed run does the same work as `cp -r` + `sync` (copy, sync, a few renames).
    const bool discardUntimed = state.range(2) != 0;
    double seconds = 0;
    int graves = 0;
    for (auto _ : state) {
        if (discardUntimed) {
            fs::rename(folder.root + "/backup_old",
                       folder.root + "/grave" + std::to_string(graves++));
        }
        const auto start = std::chrono::steady_clock::now();
        form.btn_backupClick();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    for (int g = 0; g < graves; ++g) fs::remove_all(folder.root + "/grave" + std::to_string(g));
    Record(state,
           std::string(eachFile         ? "fsync"
                       : discardUntimed ? "syncfs, old set aside untimed"
                                        : "syncfs") +
               "/" + std::to_string(state.range(0)),
           seconds);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * folder.bytes));
}

void BM_CopyAndSync(benchmark::State& state) {
    const BenchFolder& folder = Folder(static_cast<int>(state.range(0)));
    const std::string target = folder.root + "/cp-copy";
    const std::string command = "cp -r '" + folder.temp + "' '" + target + "' && sync";
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(target);
        ::sync();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    Record(state, "cp/" + std::to_string(state.range(0)), seconds);
}

// Interleaved so that both see the same disk and the same neighbours.
BENCHMARK(BM_CopyAndSync)->Arg(1000)->Iterations(8)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Backup)
    ->Args({1000, 0, 0})
    ->Args({1000, 1, 0})
    ->Args({1000, 0, 1})
    ->Iterations(8)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyAndSync)->Arg(10000)->Iterations(4)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Backup)
    ->Args({10000, 0, 0})
    ->Args({10000, 0, 1})
    ->Iterations(4)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (int files : {1000, 10000}) {
        const std::string n = std::to_string(files);
        if (!secondsPerRun.count("cp/" + n)) continue;
        const double cp = secondsPerRun["cp/" + n];
        for (const char* method : {"syncfs", "fsync", "syncfs, old set aside untimed"}) {
            const std::string key = std::string(method) + "/" + n;
            if (!secondsPerRun.count(key)) continue;
            std::printf("%6d files: backup (%s) %.1f ms, cp -r + sync %.1f ms, ratio %.2f\n", files,
                        method, secondsPerRun[key] * 1000, cp * 1000, secondsPerRun[key] / cp);
        }
    }
    for (const auto& entry : made) fs::remove_all(entry.second.root);
    return 0;
}
