// Arbitrary bytes for the part-file check and reader: neither may read past them (the
// sanitizers watch), bytes after a well-formed file must never change its verdict, and the
// reader gives facts exactly for the files the check calls whole, never more done than the size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "backup/part_file_check.h"
#include "backup/part_file_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the given size, so that any read past it is caught.
    std::vector<unsigned char> bytes(data, data + size);
    const bool whole = hw::IsWellFormedPartFile(bytes.data(), bytes.size());
    const std::optional<hw::PartFileInfo> info = hw::ReadPartFileInfo(bytes.data(), bytes.size());
    if (info.has_value() != whole) std::abort();
    if (info && info->done > info->size) std::abort();
    if (!whole) return 0;
    bytes.push_back(0xE0);
    bytes.push_back(0xFF);
    if (!hw::IsWellFormedPartFile(bytes.data(), bytes.size())) std::abort();
    return 0;
}
