#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ostrel::signature {

// Where a slice's embedded signature lies, relative to the slice.
struct SignatureLocation {
    uint32_t dataOffset = 0;
    uint32_t dataSize = 0;
    bool operator==(const SignatureLocation&) const = default;
};

// One architecture of a Mach-O file: the whole file when thin, one fat entry
// otherwise.
struct MachOSlice {
    uint32_t cpuType = 0;
    uint32_t cpuSubtype = 0;
    uint32_t fileType = 0;
    std::string architecture; // "arm64", "x86_64", ...
    uint64_t offset = 0;      // in the file
    uint64_t size = 0;
    std::span<const uint8_t> bytes;
    std::optional<SignatureLocation> signature;
    uint64_t textOffset = 0; // __TEXT segment in the slice (the executable segment)
    uint64_t textSize = 0;
    std::optional<std::span<const uint8_t>> infoPlist{}; // __TEXT,__info_plist, when present
};

bool isMachO(std::span<const uint8_t> bytes);

// Every slice of a thin or fat Mach-O file, checked strictly: anything a
// signature does not cover (fat padding, bytes after the last slice, data
// after the signature) must be absent or zero, so nothing can be smuggled
// next to signed code. Throws SignatureFailure::invalid with a short detail.
std::vector<MachOSlice> parseMachO(std::span<const uint8_t> file);

std::string architectureName(uint32_t cpuType, uint32_t cpuSubtype);

} // namespace ostrel::signature
