// How long the Contents window takes to open on 1,000 downloads (the goal: 0.2 s): the reading of
// the temp folder, B and B_old (ReadBackupContents), the filling of the view's cells, and the Qt
// dialog built and shown offscreen until its table has painted. Medians of several rounds.
//
// contents_bench [folder] [--rounds 7] [--downloads 1000]
// The folder (default: a new one below /tmp) receives temp/, backup/ and backup_old/.
#include <unistd.h>

#include <QApplication>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "backup/backup_contents.h"
#include "gui/contents_window_qt.h"
#include "ui/contents_view.h"
#include "ui/main_form.h"

namespace fs = std::filesystem;

namespace {

// A whole part file as the clients write it: header, one hash per 9.28 MB part, then the name
// and the size (short-named tags) and pairs of gap tags ("\x09" and "\x0A" with the gap's number in
// decimal).
std::string PartFile(std::mt19937& random, int index, int gapsLeft) {
    std::string out;
    auto put = [&out](std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
    };
    const std::uint64_t size =
        std::uniform_int_distribution<std::uint64_t>(200'000, 4'400'000'000ULL)(random);
    const std::uint64_t parts = (size + 9'728'000 - 1) / 9'728'000;
    put(0xE0, 1);
    put(1700000000, 4);
    put(static_cast<std::uint64_t>(index) * 2654435761u, 8);  // the hash: one per download
    put(static_cast<std::uint64_t>(index), 8);
    const std::uint64_t hashes = parts > 1 ? parts : 0;
    put(hashes, 2);
    for (std::uint64_t i = 0; i < 16 * hashes; ++i) put(random(), 1);
    put(2 + 2 * gapsLeft, 4);
    const std::string name = "download " + std::to_string(index) + " " +
                             std::string(std::uniform_int_distribution<int>(10, 60)(random), 'n') +
                             ".mkv";
    put(0x82, 1), put(0x01, 1), put(name.size(), 2), out += name;
    put(0x8B, 1), put(0x02, 1), put(size, 8);
    const std::uint64_t step = size / (2 * gapsLeft + 1);
    for (int g = 0; g < gapsLeft; ++g) {
        const std::string number = std::to_string(g);
        put(0x0B, 1), put(1 + number.size(), 2), out += "\x09" + number, put(step * (2 * g + 1), 8);
        put(0x0B, 1), put(1 + number.size(), 2), out += "\x0A" + number, put(step * (2 * g + 2), 8);
    }
    return out;
}

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int rounds = 7;
    int downloads = 1000;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--downloads" && i + 1 < argc) {
            downloads = std::max(1, std::atoi(argv[++i]));
        } else {
            folder = arg;
        }
    }
    const bool ownFolder = folder.empty();
    if (ownFolder) {
        char made[] = "/tmp/hw-contents-bench-XXXXXX";
        if (::mkdtemp(made) == nullptr) return 1;
        folder = made;
    }
    const fs::path root = folder;
    for (const char* sub : {"temp", "backup", "backup_old"}) fs::create_directories(root / sub);
    // B and B_old a little behind; the temp folder has lost every fiftieth download and damaged
    // every hundredth.
    for (int i = 0; i < downloads; ++i) {
        const std::string name = std::to_string(100000 + i) + ".part.met";
        std::mt19937 same(static_cast<unsigned>(i));
        Write(root / "backup_old" / (name + ".HWS"), PartFile(same, i, 6));
        same.seed(static_cast<unsigned>(i));
        Write(root / "backup" / (name + ".HWS"), PartFile(same, i, 4));
        same.seed(static_cast<unsigned>(i));
        if (i % 100 == 1) {
            Write(root / "temp" / name, "not a part file");
        } else if (i % 50 != 0) {
            Write(root / "temp" / name, PartFile(same, i, 2));
        }
    }

    hw::MainForm form{hw::Services{}};
    form.ApplyLanguage("EN");
    hw::ContentsRequest request;
    request.temp = (root / "temp").string();
    request.backup = (root / "backup").string();
    request.client = (root / "client").string();
    std::vector<double> reading, filling, showing, total;
    std::size_t rows = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        hw::BackupContents contents = hw::ReadBackupContents(request);
        const double read = Seconds(start);
        const auto fillStart = std::chrono::steady_clock::now();
        hw::ContentsView view(form, request);
        view.Fill(std::move(contents));
        const double fill = Seconds(fillStart);
        const auto showStart = std::chrono::steady_clock::now();
        {
            hw::ContentsWindow window(form, view);
            window.show();
            // Shown once the table has painted its first rows.
            window.findChild<QTableView*>()->viewport()->repaint();
            QApplication::processEvents();
            rows = static_cast<std::size_t>(view.rowCount());
        }
        const double show = Seconds(showStart);
        reading.push_back(read);
        filling.push_back(fill);
        showing.push_back(show);
        total.push_back(read + fill + show);
    }
    std::printf("Contents window on %zu downloads, median of %d rounds (goal: 0.200 s)\n", rows,
                rounds);
    std::printf("  %-34s %8.3f s\n", "read temp, B, B_old", Median(reading));
    std::printf("  %-34s %8.3f s\n", "fill the view's cells", Median(filling));
    std::printf("  %-34s %8.3f s\n", "build and show the dialog", Median(showing));
    std::printf("  %-34s %8.3f s   %s\n", "open in all", Median(total),
                Median(total) <= 0.2 ? "within the goal" : "OVER THE GOAL");
    if (ownFolder) fs::remove_all(root);
    return 0;
}
