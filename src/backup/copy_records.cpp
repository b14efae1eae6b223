#include "backup/copy_records.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <new>

#include "backup/run_support.h"
#include "shell/descriptor.h"

namespace hw {

namespace {

// A binary file, written in one piece: thousands of records cost next to nothing. It
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

// Reads a file front to back in pieces: the records of tens of thousands of copies are never
// held twice, once as bytes.
class PieceReader {
  public:
    explicit PieceReader(int fd) : fd_(fd) {}
    // Exactly `size` bytes; false where the file ends before or cannot be read.
    bool Take(char* out, std::size_t size) {
        while (size > 0) {
            if (at_ == have_ && !Fill()) return false;
            const std::size_t piece = std::min(size, have_ - at_);
            std::memcpy(out, buffer_ + at_, piece);
            at_ += piece;
            out += piece;
            size -= piece;
        }
        return true;
    }

  private:
    bool Fill() {
        ssize_t got = 0;
        do {
            got = ::read(fd_, buffer_, sizeof buffer_);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) return false;
        have_ = static_cast<std::size_t>(got);
        at_ = 0;
        return true;
    }
    int fd_;
    char buffer_[1 << 16];
    std::size_t have_ = 0;
    std::size_t at_ = 0;
};

}  // namespace

void CopyRecords::clear() {
    names_.clear();
    entries_.clear();
    slots_.clear();
}

void CopyRecords::reserve(std::size_t count, std::size_t nameBytes) {
    entries_.reserve(entries_.size() + count);
    names_.reserve(names_.size() + nameBytes);
}

void CopyRecords::Add(std::string_view place, const files::CopyRecord& record) {
    // The offsets are kept short: four gigabytes of names or records are no backup's.
    if (names_.size() + place.size() > std::numeric_limits<std::uint32_t>::max() ||
        entries_.size() >= std::numeric_limits<std::uint32_t>::max() / 2) {
        throw std::bad_alloc();
    }
    slots_.clear();
    entries_.push_back({static_cast<std::uint32_t>(names_.size()),
                        static_cast<std::uint32_t>(place.size()), record});
    names_.append(place);
}

std::string_view CopyRecords::PlaceAt(std::size_t index) const {
    return NameOf(entries_[index]);
}

bool CopyRecords::Index() {
    // At most half full, so that a lookup meets a free slot soon.
    std::size_t size = 16;
    while (size < 2 * entries_.size()) size *= 2;
    slots_.assign(size, 0);
    const std::hash<std::string_view> hash;
    for (std::size_t k = 0; k < entries_.size(); ++k) {
        const std::string_view name = NameOf(entries_[k]);
        std::size_t at = hash(name) & (size - 1);
        for (; slots_[at] != 0; at = (at + 1) & (size - 1)) {
            if (NameOf(entries_[slots_[at] - 1]) == name) {
                slots_.clear();
                return false;
            }
        }
        slots_[at] = static_cast<std::uint32_t>(k + 1);
    }
    return true;
}

const files::CopyRecord* CopyRecords::Find(std::string_view place) const {
    if (slots_.empty()) return nullptr;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = std::hash<std::string_view>()(place) & mask; slots_[at] != 0;
         at = (at + 1) & mask) {
        const Entry& entry = entries_[slots_[at] - 1];
        if (NameOf(entry) == place) return &entry.record;
    }
    return nullptr;
}

CopyRecords LoadCopyRecords(const std::string& folder) {
    const files::Descriptor fd(::open(JoinPath(folder, kRecordName).c_str(),
                                      O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    char tag[sizeof kHeader];
    std::uint64_t count = 0;
    // The trailer first: a file cut short is not read at all.
    if (!fd.ok() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::size_t>(info.st_size) < sizeof kHeader + sizeof kTrailer + sizeof count ||
        ::pread(fd.get(), tag, sizeof tag, info.st_size - sizeof kTrailer - sizeof count) !=
            static_cast<ssize_t>(sizeof tag) ||
        std::memcmp(tag, kTrailer, sizeof kTrailer) != 0 ||
        ::pread(fd.get(), &count, sizeof count, info.st_size - sizeof count) !=
            static_cast<ssize_t>(sizeof count)) {
        return {};
    }
    const auto bytes = static_cast<std::size_t>(info.st_size);
    const std::size_t end = bytes - sizeof kTrailer - sizeof count;
    PieceReader in(fd.get());
    if (!in.Take(tag, sizeof tag) || std::memcmp(tag, kHeader, sizeof kHeader) != 0) return {};
    // Reserved by what the file can hold, not by what it claims.
    const auto expected =
        static_cast<std::size_t>(std::min<std::uint64_t>(count, end / sizeof(Fixed)));
    CopyRecords records;
    records.reserve(expected, end - std::min(end, expected * sizeof(Fixed)));
    std::string name;
    std::size_t at = sizeof kHeader;
    while (at < end) {
        Fixed fixed{};
        if (end - at < sizeof fixed || !in.Take(reinterpret_cast<char*>(&fixed), sizeof fixed)) {
            return {};
        }
        at += sizeof fixed;
        if (end - at < fixed.nameLength) return {};
        name.resize(fixed.nameLength);
        if (!in.Take(name.data(), name.size())) return {};
        at += fixed.nameLength;
        files::CopyRecord r;
        r.sourceInode = static_cast<ino_t>(fixed.sourceInode);
        r.size = static_cast<off_t>(fixed.size);
        r.sourceModified = {static_cast<time_t>(fixed.times[0]), static_cast<long>(fixed.times[1])};
        r.sourceChanged = {static_cast<time_t>(fixed.times[2]), static_cast<long>(fixed.times[3])};
        r.copyChanged = {static_cast<time_t>(fixed.times[4]), static_cast<long>(fixed.times[5])};
        r.copyInode = static_cast<ino_t>(fixed.copyInode);
        r.trusted = true;
        records.Add(name, r);
    }
    // A name recorded twice makes the whole file suspect.
    if (records.size() != count || !records.Index()) return {};
    return records;
}

bool SameTrustedRecords(const CopyRecords& records, const CopyRecords& saved) {
    const auto same = [](const struct timespec& a, const struct timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    std::size_t trusted = 0;
    for (std::size_t k = 0; k < records.size(); ++k) {
        const files::CopyRecord& r = records.RecordAt(k);
        if (!r.trusted) continue;
        ++trusted;
        // Places are unique in both (see Index), so a match for each makes the two sets equal.
        const files::CopyRecord* s = saved.Find(records.PlaceAt(k));
        if (s == nullptr || !s->trusted || s->sourceInode != r.sourceInode || s->size != r.size ||
            !same(s->sourceModified, r.sourceModified) ||
            !same(s->sourceChanged, r.sourceChanged) || s->copyInode != r.copyInode ||
            !same(s->copyChanged, r.copyChanged)) {
            return false;
        }
    }
    return trusted == saved.size();
}

bool SaveCopyRecords(const std::string& folder, const CopyRecords& records) {
    const std::string path = JoinPath(folder, kRecordName);
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    // Written in pieces: the bytes of tens of thousands of records are never held at once.
    static constexpr std::size_t kPiece = 1 << 16;
    std::string out(kHeader, sizeof kHeader);
    out.reserve(kPiece + sizeof(Fixed) + 4096);
    bool written = true;
    const auto flush = [&] {
        written = written && files::WriteAllBytes(fd, out.data(), out.size());
        out.clear();
    };
    std::uint64_t count = 0;
    for (std::size_t k = 0; k < records.size(); ++k) {
        const files::CopyRecord& r = records.RecordAt(k);
        const std::string_view name = records.PlaceAt(k);
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
        if (out.size() >= kPiece) flush();
    }
    out.append(kTrailer, sizeof kTrailer);
    Put(out, count);
    flush();
    if (::close(fd) != 0 || !written) {
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

}  // namespace hw
