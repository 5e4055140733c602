#pragma once

#include <cstdint>
#include <span>
#include <string>

#include <openssl/evp.h>

namespace ostrel {

// The fixed header at the start of an installer package (a xar archive). All
// fields are big-endian.
struct XarHeader {
    static constexpr size_t minimumSize = 28;
    static constexpr uint16_t maximumSize = 4096;
    enum class Checksum { none, sha1, md5, sha256, sha512 };

    uint16_t headerSize = minimumSize;
    uint16_t version = 1;
    uint64_t tocCompressedLength = 0;
    uint64_t tocUncompressedLength = 0;
    Checksum checksum = Checksum::sha1;

    bool operator==(const XarHeader&) const = default;

    // `bytes` starts at the file's first byte and holds at least the whole header.
    // Throws SignatureDefect for a bad magic, size, version or checksum kind.
    static XarHeader parse(std::span<const uint8_t> bytes);

    // The TOC's checksum style text as the table of contents names it ("sha1").
    std::string checksumStyle() const;
    // The digest for the checksum; null for none.
    const EVP_MD* digest() const;
};

} // namespace ostrel
