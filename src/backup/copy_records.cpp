#include "backup/copy_records.h"

#include <fcntl.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <sstream>

#include "backup/run_support.h"

namespace hw {

namespace {

// The first line names the format, the last one counts the records: a file cut short by a kill
// or a full disk lacks it and is ignored as a whole.
const char* const kHeader = "hoardwise copy records 1";
const char* const kTrailer = "end ";

std::string Line(const std::string& name, const files::CopyRecord& r) {
    char numbers[256];
    std::snprintf(numbers, sizeof numbers,
                  "%" PRIuMAX " %" PRIdMAX " %" PRIdMAX " %ld %" PRIdMAX " %ld %" PRIuMAX
                  " %" PRIdMAX " %ld ",
                  static_cast<uintmax_t>(r.sourceInode), static_cast<intmax_t>(r.size),
                  static_cast<intmax_t>(r.sourceModified.tv_sec), r.sourceModified.tv_nsec,
                  static_cast<intmax_t>(r.sourceChanged.tv_sec), r.sourceChanged.tv_nsec,
                  static_cast<uintmax_t>(r.copyInode), static_cast<intmax_t>(r.copyChanged.tv_sec),
                  r.copyChanged.tv_nsec);
    return numbers + name + "\n";
}

bool Parse(const std::string& line, std::string& name, files::CopyRecord& r) {
    uintmax_t sourceInode = 0;
    uintmax_t copyInode = 0;
    intmax_t size = 0;
    intmax_t seconds[3] = {};
    long nanoseconds[3] = {};
    int used = 0;
    if (std::sscanf(line.c_str(),
                    "%" SCNuMAX " %" SCNdMAX " %" SCNdMAX " %ld %" SCNdMAX " %ld %" SCNuMAX
                    " %" SCNdMAX " %ld %n",
                    &sourceInode, &size, &seconds[0], &nanoseconds[0], &seconds[1], &nanoseconds[1],
                    &copyInode, &seconds[2], &nanoseconds[2], &used) != 9 ||
        used <= 0 || static_cast<std::size_t>(used) >= line.size()) {
        return false;
    }
    name = line.substr(static_cast<std::size_t>(used));
    r.sourceInode = static_cast<ino_t>(sourceInode);
    r.size = static_cast<off_t>(size);
    r.sourceModified = {static_cast<time_t>(seconds[0]), nanoseconds[0]};
    r.sourceChanged = {static_cast<time_t>(seconds[1]), nanoseconds[1]};
    r.copyInode = static_cast<ino_t>(copyInode);
    r.copyChanged = {static_cast<time_t>(seconds[2]), nanoseconds[2]};
    r.trusted = true;
    return true;
}

}  // namespace

CopyRecords LoadCopyRecords(const std::string& folder) {
    CopyRecords records;
    const int fd = ::open(JoinPath(folder, kRecordName).c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return records;
    std::string text;
    char buffer[65536];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, got);
    ::close(fd);
    if (got < 0) return records;
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != kHeader) return records;
    while (std::getline(lines, line)) {
        if (line.compare(0, std::string(kTrailer).size(), kTrailer) == 0) {
            if (lines.peek() == EOF && line == kTrailer + std::to_string(records.size())) {
                return records;
            }
            break;
        }
        std::string name;
        files::CopyRecord record;
        if (!Parse(line, name, record)) break;
        records[name] = record;
    }
    return {};
}

bool SaveCopyRecords(const std::string& folder, const CopyRecords& records) {
    std::string text = std::string(kHeader) + "\n";
    std::size_t count = 0;
    for (const auto& [name, record] : records) {
        // A name with a line break cannot be one line; its file is read again next time.
        if (!record.trusted || name.find('\n') != std::string::npos) continue;
        text += Line(name, record);
        ++count;
    }
    text += kTrailer + std::to_string(count) + "\n";
    const std::string path = JoinPath(folder, kRecordName);
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = files::WriteAllBytes(fd, text.data(), text.size());
    if (::close(fd) != 0 || !written) {
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

}  // namespace hw
