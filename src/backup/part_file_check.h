// Tells a well-formed part file from one that a client left empty, cut short or half-written,
// so that a backup never replaces a good copy with a damaged one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace hw {

// The most bytes a part file can hold. The hashes and tags of even the largest download take a
// small part of it; a file beyond it is damaged, and a copy refuses it from its size alone.
constexpr std::size_t kLargestPartFile = std::size_t{64} << 20;

// True when the bytes are a whole part file of at most kLargestPartFile bytes: a version byte
// 0xE0, 0xE1 or 0xE2, a 4-byte date, the 16-byte file hash, a 2-byte count of part hashes and
// those hashes (16 bytes each), a 4-byte tag count and that many tags, all little-endian. A tag
// of a type this reader does not know ends the check as well-formed (a newer client may write
// it), and bytes after the last tag are allowed. Reads only the given bytes; no length in them
// is trusted.
bool IsWellFormedPartFile(const unsigned char* data, std::size_t size);
bool IsWellFormedPartFile(const std::string& bytes);

// One tag as the walk over a part file finds it, read whole. The pointers lie in the walked bytes.
struct PartFileTag {
    unsigned type = 0;       // without the short-name bit
    bool shortName = false;  // named by the one byte `id`; else by `name`
    unsigned char id = 0;
    const unsigned char* name = nullptr;
    std::size_t nameSize = 0;
    // A string's bytes (without its length), a number's little-endian bytes, or whatever else the
    // type holds.
    const unsigned char* value = nullptr;
    std::size_t valueSize = 0;
};

// What the walk found ahead of the tags.
struct PartFileHead {
    unsigned version = 0;
    const unsigned char* hash = nullptr;  // 16 bytes
};

// Walks the bytes as IsWellFormedPartFile does and gives its verdict; every tag read whole goes
// to `onTag` in file order, the head to `head` once it is read.
bool WalkPartFile(const unsigned char* data, std::size_t size, PartFileHead& head,
                  const std::function<void(const PartFileTag&)>& onTag);

}  // namespace hw
