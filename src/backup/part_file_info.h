// What a part file says about its download: the name the client stored, the size, the ed2k hash
// and how much of it is done. For the contents of a backup; nothing is decided by it but what a
// restore of "only what is lost" picks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace hw {

struct PartFileInfo {
    // The name as the client stored it, made valid UTF-8 for showing: a UTF-8 name as it is (a
    // leading byte-order mark dropped), any other byte sequence read as Latin-1. Empty when the
    // file names none.
    std::string name;
    std::uint64_t size = 0;  // from a 32- or a 64-bit size tag; 0 when the file holds none
    std::array<unsigned char, 16> hash{};  // the download's ed2k hash
    // The size less the gaps the file lists, each gap clipped to the size and overlaps counted
    // once; never more than the size.
    std::uint64_t done = 0;
    // 32 upper-case hex digits of `hash`.
    std::string HashText() const;
    // How much is done in `parts` (100 for percent), rounded down: never all of them before the
    // last byte, so that a download short of a few bytes never reads as complete. 0 for no size.
    std::uint64_t PartsDone(std::uint64_t parts) const;
};

// The facts of a whole part file (see IsWellFormedPartFile); none for any other bytes. Reads only
// the given bytes; no length or count in them is trusted.
std::optional<PartFileInfo> ReadPartFileInfo(const unsigned char* data, std::size_t size);
std::optional<PartFileInfo> ReadPartFileInfo(const std::string& bytes);

// Reads the file at `path` (a regular file of at most kLargestPartFile bytes, opened without
// following a link at its last element and without blocking on a pipe): none when it is gone,
// not a regular file, unreadable or no whole part file.
std::optional<PartFileInfo> ReadPartFileInfoAt(const std::string& path);

}  // namespace hw
