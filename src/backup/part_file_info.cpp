#include "backup/part_file_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "backup/part_file_check.h"
#include "base/utf8.h"

namespace hw {

namespace {

// The name ids and the first bytes of a gap tag's name that the ed2k part-file layout gives.
constexpr unsigned char kNameId = 0x01;
constexpr unsigned char kSizeId = 0x02;
constexpr unsigned char kGapStart = 0x09;
constexpr unsigned char kGapEnd = 0x0A;

bool IsStringType(unsigned type) {
    return type == 0x02 || (type >= 0x11 && type <= 0x20);
}

// A number tag of 8, 16, 32 or 64 bits.
bool NumberOf(const PartFileTag& tag, std::uint64_t& value) {
    if (tag.type != 0x03 && tag.type != 0x08 && tag.type != 0x09 && tag.type != 0x0B) return false;
    value = 0;
    for (std::size_t i = 0; i < tag.valueSize && i < 8; ++i) {
        value |= std::uint64_t{tag.value[i]} << (8 * i);
    }
    return true;
}

std::string Latin1ToUtf8(const unsigned char* text, std::size_t size) {
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) AppendUtf8(out, text[i]);
    return out;
}

struct NameText {
    const unsigned char* text;
    std::size_t size;
    bool utf8;
};

NameText Candidate(const PartFileTag& tag) {
    const unsigned char* text = tag.value;
    std::size_t size = tag.valueSize;
    if (size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
        text += 3;
        size -= 3;
    }
    return {text, size, IsValidUtf8(reinterpret_cast<const char*>(text), size)};
}

// The gap's number from a tag name: the marker byte, then decimal digits.
bool GapKey(const PartFileTag& tag, unsigned char marker, std::uint64_t& key) {
    if (tag.shortName || tag.nameSize < 2 || tag.nameSize > 20 || tag.name[0] != marker) {
        return false;
    }
    key = 0;
    for (std::size_t i = 1; i < tag.nameSize; ++i) {
        const unsigned char digit = tag.name[i];
        if (digit < '0' || digit > '9') return false;
        if (key > (UINT64_MAX - 9) / 10) return false;
        key = key * 10 + (digit - '0');
    }
    return true;
}

// The bytes that the paired gaps cover within `size`, each byte counted once.
std::uint64_t GapBytes(std::vector<std::pair<std::uint64_t, std::uint64_t>>& starts,
                       std::vector<std::pair<std::uint64_t, std::uint64_t>>& ends,
                       std::uint64_t size) {
    // The first tag of a number counts; stable sorts keep the file's order among equal numbers.
    auto byKey = [](const auto& a, const auto& b) { return a.first < b.first; };
    std::stable_sort(starts.begin(), starts.end(), byKey);
    std::stable_sort(ends.begin(), ends.end(), byKey);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> gaps;
    std::size_t e = 0;
    for (std::size_t s = 0; s < starts.size(); ++s) {
        if (s > 0 && starts[s].first == starts[s - 1].first) continue;
        while (e < ends.size() && ends[e].first < starts[s].first) ++e;
        if (e == ends.size()) break;
        if (ends[e].first != starts[s].first) continue;
        // The end is exclusive.
        const std::uint64_t from = starts[s].second;
        const std::uint64_t to = std::min(ends[e].second, size);
        if (from < to) gaps.emplace_back(from, to);
    }
    std::sort(gaps.begin(), gaps.end());
    std::uint64_t covered = 0;
    std::uint64_t reached = 0;
    for (const auto& [from, to] : gaps) {
        const std::uint64_t start = std::max(from, reached);
        if (to > start) covered += to - start;
        reached = std::max(reached, to);
    }
    return covered;
}

}  // namespace

std::uint64_t PartFileInfo::PartsDone(std::uint64_t parts) const {
    if (size == 0 || parts == 0) return 0;
    if (done >= size) return parts;
    // Exact for any size a file may claim: done * parts may not fit 64 bits.
    const auto shown =
        static_cast<std::uint64_t>(static_cast<unsigned __int128>(done) * parts / size);
    return std::min(shown, parts - 1);
}

std::string PartFileInfo::HashText() const {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(32);
    for (unsigned char byte : hash) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

std::optional<PartFileInfo> ReadPartFileInfo(const unsigned char* data, std::size_t size) {
    std::vector<NameText> names;
    bool sized = false;
    std::uint64_t fileSize = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> starts, ends;
    PartFileHead head;
    const bool whole = WalkPartFile(data, size, head, [&](const PartFileTag& tag) {
        std::uint64_t key = 0, value = 0;
        // A client may name a tag by its id as a name one byte long.
        const int id = tag.shortName ? tag.id : tag.nameSize == 1 ? tag.name[0] : -1;
        if (id == kNameId && IsStringType(tag.type)) {
            names.push_back(Candidate(tag));
        } else if (id == kSizeId && !sized && NumberOf(tag, value)) {
            sized = true;
            fileSize = value;
        } else if (GapKey(tag, kGapStart, key) && NumberOf(tag, value)) {
            starts.emplace_back(key, value);
        } else if (GapKey(tag, kGapEnd, key) && NumberOf(tag, value)) {
            ends.emplace_back(key, value);
        }
    });
    if (!whole) return std::nullopt;
    PartFileInfo info;
    std::copy(head.hash, head.hash + info.hash.size(), info.hash.begin());
    if (!names.empty()) {
        const auto utf8 = std::find_if(names.begin(), names.end(),
                                       [](const NameText& name) { return name.utf8; });
        const NameText& name = utf8 != names.end() ? *utf8 : names.front();
        info.name = name.utf8 ? std::string(reinterpret_cast<const char*>(name.text), name.size)
                              : Latin1ToUtf8(name.text, name.size);
    }
    info.size = fileSize;
    info.done = fileSize - std::min(fileSize, GapBytes(starts, ends, fileSize));
    return info;
}

std::optional<PartFileInfo> ReadPartFileInfo(const std::string& bytes) {
    return ReadPartFileInfo(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::optional<PartFileInfo> ReadPartFileInfoAt(const std::string& path) {
    // Looked at first, so that a device is never opened (opening some has effects of its own);
    // the open file is looked at again, for what may have taken the name meanwhile.
    struct stat seen {};
    if (::lstat(path.c_str(), &seen) != 0 || !S_ISREG(seen.st_mode)) return std::nullopt;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    std::string bytes;
    bool read = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
                static_cast<std::uint64_t>(info.st_size) <= kLargestPartFile;
    if (read) {
        // One byte more than the size, to see a file that grew.
        const std::size_t expected = static_cast<std::size_t>(info.st_size);
        bytes.resize(expected + 1);
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, &bytes[got], bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                read = n == 0;
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        read = read && got == expected;
        bytes.resize(std::min(got, expected));
    }
    ::close(fd);
    if (!read) return std::nullopt;
    return ReadPartFileInfo(bytes);
}

}  // namespace hw
