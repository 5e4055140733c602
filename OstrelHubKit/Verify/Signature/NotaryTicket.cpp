#include "Verify/Signature/NotaryTicket.h"

#include "Verify/Signature/BigEndianBytes.h"
#include "Verify/Signature/FileBytes.h"
#include "Verify/Signature/SignatureDefect.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace ostrel {
namespace {

constexpr uint32_t wrapperMagic = 0xFADE0B01;

struct Trailer {
    uint16_t version;
    uint16_t type;
    uint32_t length;
};

uint32_t littleEndian(const uint8_t* p, size_t size) {
    uint32_t value = 0;
    for (size_t i = size; i > 0; --i)
        value = (value << 8) | p[i - 1];
    return value;
}

std::optional<Trailer> readTrailer(int fd, uint64_t at) {
    auto raw = FileBytes::readAt(fd, at, NotaryTicket::trailerSize, "the package's ticket");
    if (std::memcmp(raw.data(), "t8lr", 4) != 0)
        return std::nullopt;
    return Trailer{static_cast<uint16_t>(littleEndian(&raw[4], 2)), static_cast<uint16_t>(littleEndian(&raw[6], 2)),
                   littleEndian(&raw[8], 4)};
}

} // namespace

bool NotaryTicket::lists(std::span<const uint8_t> cdhash) const {
    if (cdhash.size() < cdhashSize)
        return false;
    auto wanted = cdhash.first(cdhashSize);
    return std::search(bytes.begin(), bytes.end(), wanted.begin(), wanted.end()) != bytes.end();
}

std::optional<NotaryTicket> NotaryTicket::fromBundle(const BundleLayout& layout) {
    struct stat st {};
    if (::lstat(layout.stapledTicket().c_str(), &st) != 0 && errno == ENOENT)
        return std::nullopt;
    UniqueFd fd = layout.openPart(layout.contentsFolder / "CodeResources");
    return NotaryTicket{FileBytes::readCapped(fd.get(), maxBytes, layout.shown("CodeResources"))};
}

NotaryTicket NotaryTicket::fromImageSlot(std::span<const uint8_t> blob) {
    if (blob.empty() || blob.size() > maxBytes)
        throw SignatureDefect("the disk image's stapled ticket is damaged");
    // Usually wrapped in a blob header; a bare ticket is taken as it is, since
    // nothing here trusts its contents anyway.
    if (BigEndianBytes::u32(blob, 0) == wrapperMagic) {
        if (BigEndianBytes::u32(blob, 4) != blob.size() || blob.size() <= 8)
            throw SignatureDefect("the disk image's stapled ticket is damaged");
        blob = blob.subspan(8);
    }
    return NotaryTicket{{blob.begin(), blob.end()}};
}

std::optional<NotaryTicket> NotaryTicket::fromPackage(int fd, uint64_t fileSize) {
    if (fileSize < 2 * trailerSize)
        return std::nullopt;
    auto closing = readTrailer(fd, fileSize - trailerSize);
    if (!closing)
        return std::nullopt;
    const char* damaged = "the package's stapled ticket is damaged";
    if (closing->version != 1 || closing->type != 2 || closing->length == 0 || closing->length > maxBytes ||
        closing->length > fileSize - 2 * trailerSize)
        throw SignatureDefect(damaged);
    uint64_t ticketStart = fileSize - trailerSize - closing->length;
    auto opening = readTrailer(fd, ticketStart - trailerSize);
    if (!opening || opening->version != 1 || opening->type != 1)
        throw SignatureDefect(damaged);
    return NotaryTicket{FileBytes::readAt(fd, ticketStart, closing->length, "the package's ticket")};
}

} // namespace ostrel
