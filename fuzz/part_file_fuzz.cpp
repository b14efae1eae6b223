// Arbitrary bytes for the part-file reader: it must never read past them (the sanitizers
// watch), and bytes after a well-formed file must never change its verdict.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "backup/part_file_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the given size, so that any read past it is caught.
    std::vector<unsigned char> bytes(data, data + size);
    if (!hw::IsWellFormedPartFile(bytes.data(), bytes.size())) return 0;
    bytes.push_back(0xE0);
    bytes.push_back(0xFF);
    if (!hw::IsWellFormedPartFile(bytes.data(), bytes.size())) std::abort();
    return 0;
}
