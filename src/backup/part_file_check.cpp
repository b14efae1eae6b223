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

    // A length of `bytes` bytes followed by that many bytes.
    bool SkipCounted(int bytes) {
        std::uint64_t length = 0;
        return Read(bytes, length) && Skip(length);
    }

  private:
    const unsigned char* data_;
    std::size_t left_;
};

bool KnownType(std::uint64_t type) {
    return (type >= 0x01 && type <= 0x0B) || (type >= 0x11 && type <= 0x20);
}

enum class TagEnd { Read, Unknown, CutShort };

TagEnd ReadTag(Cursor& in) {
    std::uint64_t type = 0;
    if (!in.Read(1, type)) return TagEnd::CutShort;
    const bool named = (type & kShortNameBit) == 0;
    type &= ~std::uint64_t{kShortNameBit};
    // Not even its name is read: a newer tag may be laid out otherwise.
    if (!KnownType(type)) return TagEnd::Unknown;
    if (!(named ? in.SkipCounted(2) : in.Skip(1))) return TagEnd::CutShort;
    bool whole = true;
    switch (type) {
        case 0x01:  // hash
            whole = in.Skip(kHashBytes);
            break;
        case 0x02:  // string
            whole = in.SkipCounted(2);
            break;
        case 0x03:  // 32-bit number
        case 0x04:  // float
            whole = in.Skip(4);
            break;
        case 0x05:  // bool
        case 0x09:  // 8-bit number
            whole = in.Skip(1);
            break;
        case 0x06: {  // bool array: a bit count, then the bits in whole bytes
            std::uint64_t bits = 0;
            whole = in.Read(2, bits) && in.Skip(bits / 8 + 1);
            break;
        }
        case 0x07:  // blob
            whole = in.SkipCounted(4);
            break;
        case 0x08:  // 16-bit number
            whole = in.Skip(2);
            break;
        case 0x0A:  // short blob
            whole = in.SkipCounted(1);
            break;
        case 0x0B:  // 64-bit number
            whole = in.Skip(8);
            break;
        default:  // 0x11 to 0x20: a string of fixed length
            whole = in.Skip(type - 0x10);
            break;
    }
    return whole ? TagEnd::Read : TagEnd::CutShort;
}

}  // namespace

bool IsWellFormedPartFile(const unsigned char* data, std::size_t size) {
    if (size == 0 || size > kLargestPartFile || data == nullptr) return false;
    Cursor in(data, size);
    std::uint64_t version = 0, partHashes = 0, tags = 0;
    if (!in.Read(1, version) || version < 0xE0 || version > 0xE2) return false;
    if (!in.Skip(4 + kHashBytes) || !in.Read(2, partHashes) || !in.Skip(partHashes * kHashBytes) ||
        !in.Read(4, tags))
        return false;
    // Every tag takes at least one byte, so a count beyond the bytes left ends as cut short.
    for (std::uint64_t k = 0; k < tags; ++k) {
        switch (ReadTag(in)) {
            case TagEnd::Read:
                break;
            case TagEnd::Unknown:
                return true;
            case TagEnd::CutShort:
                return false;
        }
    }
    return true;
}

bool IsWellFormedPartFile(const std::string& bytes) {
    return IsWellFormedPartFile(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

}  // namespace hw
