#include "backup/part_file_check.h"

#include <cstdint>

namespace hw {

namespace {

constexpr std::size_t kHashBytes = 16;
constexpr unsigned kShortNameBit = 0x80;

// Reads forward through the bytes; every step first checks that they hold enough.
class Cursor {
  public:
    Cursor(const unsigned char* data, std::size_t size) : data_(data), left_(size) {}

    const unsigned char* Here() const { return data_; }

    bool Skip(std::uint64_t count) {
        if (count > left_) return false;
        data_ += count;
        left_ -= static_cast<std::size_t>(count);
        return true;
    }

    // A little-endian unsigned number of `bytes` bytes (at most 8).
    bool Read(int bytes, std::uint64_t& value) {
        if (static_cast<std::size_t>(bytes) > left_) return false;
        value = 0;
        for (int i = 0; i < bytes; ++i) value |= std::uint64_t{data_[i]} << (8 * i);
        return Skip(static_cast<std::uint64_t>(bytes));
    }

    // A length of `bytes` bytes followed by that many bytes, which `start` and `count` then name.
    bool SkipCounted(int bytes, const unsigned char*& start, std::size_t& count) {
        std::uint64_t length = 0;
        if (!Read(bytes, length)) return false;
        start = data_;
        count = static_cast<std::size_t>(length);
        return Skip(length);
    }

    // `count` bytes, which `start` then names.
    bool Take(std::uint64_t count, const unsigned char*& start, std::size_t& taken) {
        start = data_;
        taken = static_cast<std::size_t>(count);
        return Skip(count);
    }

  private:
    const unsigned char* data_;
    std::size_t left_;
};

bool KnownType(std::uint64_t type) {
    return (type >= 0x01 && type <= 0x0B) || (type >= 0x11 && type <= 0x20);
}

enum class TagEnd { Read, Unknown, CutShort };

TagEnd ReadTag(Cursor& in, PartFileTag& tag) {
    std::uint64_t type = 0;
    if (!in.Read(1, type)) return TagEnd::CutShort;
    tag.shortName = (type & kShortNameBit) != 0;
    type &= ~std::uint64_t{kShortNameBit};
    // Not even its name is read: a newer tag may be laid out otherwise.
    if (!KnownType(type)) return TagEnd::Unknown;
    tag.type = static_cast<unsigned>(type);
    if (tag.shortName) {
        std::uint64_t id = 0;
        if (!in.Read(1, id)) return TagEnd::CutShort;
        tag.id = static_cast<unsigned char>(id);
        tag.name = nullptr;
        tag.nameSize = 0;
    } else if (!in.SkipCounted(2, tag.name, tag.nameSize)) {
        return TagEnd::CutShort;
    }
    bool whole = true;
    switch (type) {
        case 0x01:  // hash
            whole = in.Take(kHashBytes, tag.value, tag.valueSize);
            break;
        case 0x02:  // string
            whole = in.SkipCounted(2, tag.value, tag.valueSize);
            break;
        case 0x03:  // 32-bit number
        case 0x04:  // float
            whole = in.Take(4, tag.value, tag.valueSize);
            break;
        case 0x05:  // bool
        case 0x09:  // 8-bit number
            whole = in.Take(1, tag.value, tag.valueSize);
            break;
        case 0x06: {  // bool array: a bit count, then the bits in whole bytes
            std::uint64_t bits = 0;
            whole = in.Read(2, bits) && in.Take(bits / 8 + 1, tag.value, tag.valueSize);
            break;
        }
        case 0x07:  // blob
            whole = in.SkipCounted(4, tag.value, tag.valueSize);
            break;
        case 0x08:  // 16-bit number
            whole = in.Take(2, tag.value, tag.valueSize);
            break;
        case 0x0A:  // short blob
            whole = in.SkipCounted(1, tag.value, tag.valueSize);
            break;
        case 0x0B:  // 64-bit number
            whole = in.Take(8, tag.value, tag.valueSize);
            break;
        default:  // 0x11 to 0x20: a string of fixed length
            whole = in.Take(type - 0x10, tag.value, tag.valueSize);
            break;
    }
    return whole ? TagEnd::Read : TagEnd::CutShort;
}

}  // namespace

bool WalkPartFile(const unsigned char* data, std::size_t size, PartFileHead& head,
                  const std::function<void(const PartFileTag&)>& onTag) {
    if (size == 0 || size > kLargestPartFile || data == nullptr) return false;
    Cursor in(data, size);
    std::uint64_t version = 0, partHashes = 0, tags = 0;
    if (!in.Read(1, version) || version < 0xE0 || version > 0xE2) return false;
    if (!in.Skip(4)) return false;
    const unsigned char* hash = in.Here();
    if (!in.Skip(kHashBytes) || !in.Read(2, partHashes) || !in.Skip(partHashes * kHashBytes) ||
        !in.Read(4, tags))
        return false;
    head.version = static_cast<unsigned>(version);
    head.hash = hash;
    // Every tag takes at least one byte, so a count beyond the bytes left ends as cut short.
    for (std::uint64_t k = 0; k < tags; ++k) {
        PartFileTag tag;
        switch (ReadTag(in, tag)) {
            case TagEnd::Read:
                if (onTag) onTag(tag);
                break;
            case TagEnd::Unknown:
                return true;
            case TagEnd::CutShort:
                return false;
        }
    }
    return true;
}

bool IsWellFormedPartFile(const unsigned char* data, std::size_t size) {
    PartFileHead head;
    return WalkPartFile(data, size, head, nullptr);
}

bool IsWellFormedPartFile(const std::string& bytes) {
    return IsWellFormedPartFile(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

}  // namespace hw
