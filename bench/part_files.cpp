#include "part_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <fstream>

namespace hw::bench {

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

std::string PartName(int index) {
    return std::to_string(100000 + index) + ".part.met";
}

void WritePart(const std::string& path, const std::string& bytes, time_t age) {
    std::ofstream(path, std::ios::binary) << bytes;
    const struct timespec written = {::time(nullptr) - age, 0};
    const struct timespec times[2] = {written, written};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

int CountNamesEndingIn(const std::string& folder, const std::string& suffix) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return 0;
    int count = 0;
    while (const struct dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            ++count;
    }
    ::closedir(dir);
    return count;
}

}  // namespace hw::bench
