#include "backup/copy_records.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "backup/run_support.h"

namespace hw {

namespace {

// A binary file, read and written in one piece: thousands of records cost next to nothing. It
// begins with a tag naming the format and ends with one that counts the records, so that a file
// cut short by a kill or a full disk is ignored as a whole.
const char kHeader[8] = {'H', 'W', 'S', 'R', 'E', 'C', '1', '\0'};
const char kTrailer[8] = {'H', 'W', 'S', 'E', 'N', 'D', '1', '\0'};

struct Fixed {
    std::uint64_t sourceInode;
    std::int64_t size;
    std::int64_t times[6];  // modified and changed of the source, changed of the copy: s, ns
    std::uint64_t copyInode;
    std::uint32_t nameLength;
};

template <typename T>
void Put(std::string& out, const T& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

bool ReadAll(const std::string& path, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[1 << 16];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, got);
    ::close(fd);
    return got == 0;
}

}  // namespace

CopyRecords LoadCopyRecords(const std::string& folder) {
    std::string bytes;
    if (!ReadAll(JoinPath(folder, kRecordName), bytes)) return {};
    const std::size_t end = bytes.size() - std::min(bytes.size(), sizeof kTrailer + 8);
    if (bytes.size() < sizeof kHeader + sizeof kTrailer + 8 ||
        std::memcmp(bytes.data(), kHeader, sizeof kHeader) != 0 ||
        std::memcmp(bytes.data() + end, kTrailer, sizeof kTrailer) != 0) {
        return {};
    }
    std::uint64_t count = 0;
    std::memcpy(&count, bytes.data() + end + sizeof kTrailer, sizeof count);
    CopyRecords records;
    records.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(count, bytes.size())));
    std::size_t at = sizeof kHeader;
    while (at < end) {
        Fixed fixed{};
        if (end - at < sizeof fixed) return {};
        std::memcpy(&fixed, bytes.data() + at, sizeof fixed);
        at += sizeof fixed;
        if (end - at < fixed.nameLength) return {};
        files::CopyRecord& r = records[bytes.substr(at, fixed.nameLength)];
        at += fixed.nameLength;
        r.sourceInode = static_cast<ino_t>(fixed.sourceInode);
        r.size = static_cast<off_t>(fixed.size);
        r.sourceModified = {static_cast<time_t>(fixed.times[0]), static_cast<long>(fixed.times[1])};
        r.sourceChanged = {static_cast<time_t>(fixed.times[2]), static_cast<long>(fixed.times[3])};
        r.copyChanged = {static_cast<time_t>(fixed.times[4]), static_cast<long>(fixed.times[5])};
        r.copyInode = static_cast<ino_t>(fixed.copyInode);
        r.trusted = true;
    }
    if (records.size() != count) return {};
    return records;
}

bool SaveCopyRecords(const std::string& folder, const CopyRecords& records) {
    std::string out(kHeader, sizeof kHeader);
    out.reserve(records.size() * (sizeof(Fixed) + 24) + 32);
    std::uint64_t count = 0;
    for (const auto& [name, r] : records) {
        if (!r.trusted) continue;
        const Fixed fixed{
            r.sourceInode,
            r.size,
            {r.sourceModified.tv_sec, r.sourceModified.tv_nsec, r.sourceChanged.tv_sec,
             r.sourceChanged.tv_nsec, r.copyChanged.tv_sec, r.copyChanged.tv_nsec},
            r.copyInode,
            static_cast<std::uint32_t>(name.size())};
        Put(out, fixed);
        out += name;
        ++count;
    }
    out.append(kTrailer, sizeof kTrailer);
    Put(out, count);
    const std::string path = JoinPath(folder, kRecordName);
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = files::WriteAllBytes(fd, out.data(), out.size());
    if (::close(fd) != 0 || !written) {
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

}  // namespace hw
