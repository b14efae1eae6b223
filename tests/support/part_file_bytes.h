// Part files built tag by tag, for the tests of the reader, the contents and the restore.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace hw::test {

inline std::string Le(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
    return out;
}
inline std::string IdTag(unsigned char type, unsigned char id, const std::string& value) {
    return std::string(1, static_cast<char>(type | 0x80)) + static_cast<char>(id) + value;
}
inline std::string NamedTag(unsigned char type, const std::string& name, const std::string& value) {
    return std::string(1, static_cast<char>(type)) + Le(name.size(), 2) + name + value;
}
inline std::string NameTag(const std::string& name) {
    return IdTag(0x02, 0x01, Le(name.size(), 2) + name);
}
inline std::string SizeTag(std::uint64_t size, int bytes = 4) {
    const unsigned char type = bytes == 8 ? 0x0B : bytes == 2 ? 0x08 : bytes == 1 ? 0x09 : 0x03;
    return IdTag(type, 0x02, Le(size, bytes));
}
// The start or end of gap `number`.
inline std::string GapTag(bool start, const std::string& number, std::uint64_t value,
                          int bytes = 4) {
    return NamedTag(bytes == 8 ? 0x0B : 0x03, (start ? "\x09" : "\x0a") + number, Le(value, bytes));
}

// Tags in a row, and how many.
struct Tags {
    Tags(std::string one) : bytes(std::move(one)) {}  // NOLINT: one tag reads as one
    Tags(std::string several, std::uint32_t count) : bytes(std::move(several)), count(count) {}
    std::string bytes;
    std::uint32_t count = 1;
};
inline Tags Gap(int number, std::uint64_t from, std::uint64_t to, int bytes = 4) {
    const std::string n = std::to_string(number);
    return {GapTag(true, n, from, bytes) + GapTag(false, n, to, bytes), 2};
}

// A whole part file with two part hashes.
inline std::string PartFile(const std::string& hash, const std::vector<Tags>& tags) {
    std::string out = "\xE0" + Le(1700000000, 4) + hash + Le(2, 2) + std::string(32, 'p');
    std::uint32_t count = 0;
    for (const Tags& tag : tags) count += tag.count;
    out += Le(count, 4);
    for (const Tags& tag : tags) out += tag.bytes;
    return out;
}

// A whole part file of one download: its name, its size, and one gap from `gapFrom` to `gapTo`
// (none where `gapTo` is not above `gapFrom`); its hash is 16 times `hashByte`.
inline std::string Download(const std::string& name, std::uint64_t size, char hashByte,
                            std::uint64_t gapFrom = 0, std::uint64_t gapTo = 0) {
    std::vector<Tags> tags{NameTag(name), SizeTag(size, size > 0xFFFFFFFFu ? 8 : 4)};
    if (gapTo > gapFrom) tags.push_back(Gap(0, gapFrom, gapTo));
    return PartFile(std::string(16, hashByte), tags);
}

}  // namespace hw::test
