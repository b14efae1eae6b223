#include "backup/part_file_check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace hw {
namespace {

std::string Le(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
    return out;
}

std::string Header(unsigned char version, int partHashes, std::uint32_t tags) {
    std::string out(1, static_cast<char>(version));
    out += Le(1700000000, 4) + std::string(16, '\x11') + Le(partHashes, 2);
    for (int k = 0; k < partHashes; ++k) out += std::string(16, static_cast<char>(k));
    return out + Le(tags, 4);
}

// A tag with a one-byte name id, and one with a name of its own.
std::string IdTag(unsigned char type, unsigned char id, const std::string& value) {
    return std::string(1, static_cast<char>(type | 0x80)) + static_cast<char>(id) + value;
}
std::string NamedTag(unsigned char type, const std::string& name, const std::string& value) {
    return std::string(1, static_cast<char>(type)) + Le(name.size(), 2) + name + value;
}
std::string Counted(const std::string& bytes, int lengthBytes) {
    return Le(bytes.size(), lengthBytes) + bytes;
}

// Judged in a buffer of exactly `size` bytes, so that the sanitizers catch any read past it.
bool Judge(const std::string& bytes, std::size_t size) {
    std::unique_ptr<unsigned char[]> exact(new unsigned char[size]);
    std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size), exact.get());
    return IsWellFormedPartFile(exact.get(), size);
}

struct Shape {
    const char* what;
    std::string bytes;
    std::size_t wellFormedFrom;  // the shortest cut that is still well-formed
};

std::vector<Shape> Shapes() {
    std::vector<Shape> shapes;
    auto whole = [&](const char* what, const std::string& bytes) {
        shapes.push_back({what, bytes, bytes.size()});
    };
    whole("no part hashes", Header(0xE0, 0, 3) + IdTag(0x02, 0x01, Counted("file.iso", 2)) +
                                IdTag(0x03, 0x02, Le(700000, 4)) +
                                NamedTag(0x03, "\x13", Le(1, 4)));
    whole("442 part hashes", Header(0xE1, 442, 2) + IdTag(0x02, 0x01, Counted("big.mkv", 2)) +
                                 IdTag(0x03, 0x02, Le(4290000000u, 4)));
    std::string gaps;
    for (int g = 0; g < 300; ++g) {
        gaps += NamedTag(0x03, std::string(1, g % 2 ? '\x0a' : '\x09') + Le(g / 2, 2), Le(g, 4));
    }
    whole("many gap tags", Header(0xE0, 3, 300) + gaps);
    whole("64-bit size tags", Header(0xE2, 1, 4) + IdTag(0x0B, 0x02, Le(7000000000ULL, 8)) +
                                  NamedTag(0x0B, "\x08", Le(6000000000ULL, 8)) +
                                  IdTag(0x0B, 0x08, Le(1, 8)) + IdTag(0x09, 0x15, "\x05"));
    whole("every known type",
          Header(0xE0, 0, 14) + IdTag(0x01, 0x27, std::string(16, 'h')) +
              NamedTag(0x02, "comment", Counted("fine", 2)) + IdTag(0x03, 1, Le(3, 4)) +
              IdTag(0x04, 2, std::string("\x00\x00\x80\x3f", 4)) + IdTag(0x05, 3, "\x01") +
              NamedTag(0x06, "bits", Le(17, 2) + "abc") +
              IdTag(0x07, 4, Counted(std::string(300, 'b'), 4)) + IdTag(0x08, 5, Le(8, 2)) +
              IdTag(0x09, 6, "\x09") + NamedTag(0x0A, "small", Counted("blob", 1)) +
              IdTag(0x0B, 7, Le(11, 8)) + IdTag(0x11, 8, "x") +
              IdTag(0x20, 9, std::string(16, 's')) + NamedTag(0x11, "", "y"));
    const std::string known = Header(0xE0, 0, 3) + IdTag(0x03, 1, Le(1, 4));
    // A newer client's tag type: whatever follows it cannot be judged.
    shapes.push_back({"a tag type it does not know",
                      known + NamedTag(0x0C, "new", "\xff\xff\xff") + IdTag(0x03, 2, "\x01"),
                      known.size() + 1});
    return shapes;
}

TEST(PartFileCheck, WellFormedFilesOfEveryShapePassAlsoWithBytesAfterTheLastTag) {
    for (const Shape& shape : Shapes()) {
        SCOPED_TRACE(shape.what);
        EXPECT_TRUE(Judge(shape.bytes, shape.bytes.size()));
        const std::string trailing = shape.bytes + std::string(40, '\xee');
        EXPECT_TRUE(Judge(trailing, trailing.size()));
    }
    for (unsigned char version : {0xE0, 0xE1, 0xE2}) {
        EXPECT_TRUE(Judge(Header(version, 0, 0), 27)) << int{version};
    }
}

TEST(PartFileCheck, EveryCutShortFileIsDamaged) {
    for (const Shape& shape : Shapes()) {
        SCOPED_TRACE(shape.what);
        for (std::size_t size = 0; size <= shape.bytes.size(); ++size) {
            ASSERT_EQ(Judge(shape.bytes, size), size >= shape.wellFormedFrom) << "cut at " << size;
        }
    }
}

TEST(PartFileCheck, LengthsPointingPastTheEndAndOtherVersionsAreDamaged) {
    const std::string head = Header(0xE0, 0, 1);
    const std::vector<std::pair<const char*, std::string>> damaged = {
        {"version 0xE3", "\xe3" + Header(0xE0, 0, 0).substr(1)},
        {"version 0xDF", "\xdf" + Header(0xE0, 0, 0).substr(1)},
        {"no version at all", std::string(27, '\0')},
        {"part hashes", Header(0xE0, 0, 0).substr(0, 21) + Le(0xFFFF, 2) + std::string(64, 'h')},
        {"tag count", Header(0xE0, 0, 0xFFFFFFFF) + IdTag(0x03, 1, Le(1, 4))},
        {"name length", head + "\x03" + Le(0xFFFF, 2) + "name"},
        {"string length", head + IdTag(0x02, 1, Le(0xFFFF, 2) + "text")},
        {"blob length", head + IdTag(0x07, 1, Le(0xFFFFFFFF, 4) + "blob")},
        {"bit count", head + IdTag(0x06, 1, Le(0xFFFF, 2) + "bits")},
        {"short blob length", head + IdTag(0x0A, 1, "\xff" + std::string(16, 'b'))},
        {"fixed string", head + IdTag(0x20, 1, std::string(15, 's'))},
        {"64-bit number", head + IdTag(0x0B, 1, Le(1, 7))},
        {"larger than any part file", Header(0xE0, 0, 0) + std::string(kLargestPartFile - 26, 0)},
    };
    for (const auto& [what, bytes] : damaged) {
        EXPECT_FALSE(Judge(bytes, bytes.size())) << what;
    }
    EXPECT_FALSE(IsWellFormedPartFile(std::string()));
    // One byte less is as large as a part file may be.
    EXPECT_TRUE(IsWellFormedPartFile(damaged.back().second.substr(0, kLargestPartFile)));
}

}  // namespace
}  // namespace hw
