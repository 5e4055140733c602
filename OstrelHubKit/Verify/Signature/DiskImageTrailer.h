#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace ostrel {

// The 512-byte "koly" trailer at the end of a disk image (UDIF). Big-endian.
struct DiskImageTrailer {
    static constexpr size_t size = 512;
    static constexpr size_t codeSignatureLengthAt = 304;

    uint32_t version = 4;
    uint32_t headerSize = size;
    uint32_t flags = 0;
    uint64_t dataForkOffset = 0;
    uint64_t dataForkLength = 0;
    uint64_t xmlOffset = 0;
    uint64_t xmlLength = 0;
    uint64_t codeSignatureOffset = 0;
    uint64_t codeSignatureLength = 0;
    uint64_t sectorCount = 0;
    std::array<uint8_t, size> raw{};

    bool operator==(const DiskImageTrailer&) const = default;

    // Throws SignatureDefect unless `bytes` is exactly one well-formed trailer.
    static DiskImageTrailer parse(std::span<const uint8_t> bytes);

    bool hasCodeSignature() const { return codeSignatureOffset != 0 || codeSignatureLength != 0; }
    // The trailer as the signature's rep-specific slot hashes it: with the
    // signature length zeroed (it cannot cover its own length).
    std::array<uint8_t, size> withCodeSignatureLengthZeroed() const;
};

} // namespace ostrel
