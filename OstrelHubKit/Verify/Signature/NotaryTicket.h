#pragma once

#include "Verify/Signature/BundleLayout.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ostrel {

// A notarisation ticket stapled to a bundle, disk image or package.
//
// What this can and cannot tell: the ticket is Apple's signed list of the
// cdhashes (20-byte truncated SHA-256) it vouches for, one per code item and
// architecture (a package's TOC checksum, an image's CodeDirectory). Its
// layout and its signature are not documented, and whether Apple has since
// revoked it can only be asked of Apple's servers. Offline we can therefore
// only say that a ticket is present and that it lists a given cdhash; we never
// treat that as proof that the ticket is genuine or still valid.
struct NotaryTicket {
    static constexpr uint64_t maxBytes = 256 * 1024;
    static constexpr size_t cdhashSize = 20;

    std::vector<uint8_t> bytes;

    bool operator==(const NotaryTicket&) const = default;

    // Whether the ticket lists this cdhash (its first 20 bytes are used).
    bool lists(std::span<const uint8_t> cdhash) const;

    // Stapled to a bundle: the raw ticket in Contents/CodeResources. Absent when
    // there is no such file; throws SignatureDefect when it is unreadable or too large.
    static std::optional<NotaryTicket> fromBundle(const BundleLayout& layout);
    // Stapled to a disk image: the blob in signature slot 0x10002 (normally a
    // wrapper blob 0xFADE0B01 around the ticket).
    static NotaryTicket fromImageSlot(std::span<const uint8_t> blob);
    // Stapled to a package: trailers appended after the archive, read backwards
    // from the end. Absent when the package carries none.
    static std::optional<NotaryTicket> fromPackage(int fd, uint64_t fileSize);

    // The 16-byte package trailer: "t8lr", version 1, type, length, reserved;
    // little-endian. Type 1 opens the trailers, type 2 closes them and gives
    // the ticket's length.
    static constexpr size_t trailerSize = 16;
};

} // namespace ostrel
