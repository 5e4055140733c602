#include "Verify/Signature/DiskImageSignature.h"

#include "Verify/Signature/BigEndianBytes.h"
#include "Verify/Signature/FileBytes.h"
#include "Verify/Signature/SignatureDefect.h"

namespace ostrel {
namespace {

namespace be = BigEndianBytes;
constexpr uint32_t superBlobMagic = 0xFADE0CC0;

// The signature must end exactly where the trailer starts: nothing unsigned
// may hide between them, and its own length field must agree.
void checkPlacement(const DiskImageTrailer& t, uint64_t imageSize) {
    uint64_t trailerAt = imageSize - DiskImageTrailer::size;
    if (t.codeSignatureLength > DiskImageSignature::maxSignatureBytes)
        throw SignatureDefect("the disk image's signature is too large");
    if (t.codeSignatureOffset > trailerAt || trailerAt - t.codeSignatureOffset != t.codeSignatureLength)
        throw SignatureDefect("the disk image's signature does not end at its trailer");
}

void checkSuperBlob(std::span<const uint8_t> blob) {
    if (be::u32(blob, 0) != superBlobMagic || be::u32(blob, 4) != blob.size())
        throw SignatureDefect("the disk image's signature is damaged");
}

DiskImageTrailer trailerOf(std::span<const uint8_t> last512, uint64_t imageSize) {
    DiskImageTrailer t = DiskImageTrailer::parse(last512);
    if (t.hasCodeSignature())
        checkPlacement(t, imageSize);
    return t;
}

} // namespace

std::optional<DiskImageSignature> DiskImageSignature::read(const std::filesystem::path& image) {
    UniqueFd fd = FileBytes::openRegular(image, "the disk image");
    uint64_t size = FileBytes::sizeOf(fd.get());
    if (size < DiskImageTrailer::size)
        throw SignatureDefect("the disk image's trailer is missing or damaged");
    auto last = FileBytes::readAt(fd.get(), size - DiskImageTrailer::size, DiskImageTrailer::size, "the disk image");
    DiskImageTrailer t = trailerOf(last, size);
    if (!t.hasCodeSignature())
        return std::nullopt;
    auto blob = FileBytes::readAt(fd.get(), t.codeSignatureOffset, t.codeSignatureLength, "the disk image");
    checkSuperBlob(blob);
    return DiskImageSignature(std::move(fd), t, std::move(blob));
}

std::optional<DiskImageTrailer> DiskImageSignature::locate(std::span<const uint8_t> image) {
    if (image.size() < DiskImageTrailer::size)
        throw SignatureDefect("the disk image's trailer is missing or damaged");
    DiskImageTrailer t = trailerOf(image.last(DiskImageTrailer::size), image.size());
    if (!t.hasCodeSignature())
        return std::nullopt;
    checkSuperBlob(image.subspan(t.codeSignatureOffset, t.codeSignatureLength));
    return t;
}

std::vector<std::vector<uint8_t>> DiskImageSignature::codeSlotDigests(uint64_t codeLimit, uint32_t pageSizeLog2,
                                                                      const EVP_MD* md) const {
    if (codeLimit != signatureOffset())
        throw SignatureDefect("the disk image's signed range does not end at its signature");
    if (pageSizeLog2 > maxPageSizeLog2)
        throw SignatureDefect("the disk image's signature has an unsupported page size");
    std::vector<std::vector<uint8_t>> slots;
    if (pageSizeLog2 == 0) {
        if (codeLimit > 0)
            slots.push_back(FileBytes::digestRange(fd_.get(), 0, codeLimit, md));
        return slots;
    }
    uint64_t page = uint64_t{1} << pageSizeLog2;
    for (uint64_t at = 0; at < codeLimit; at += page)
        slots.push_back(FileBytes::digestRange(fd_.get(), at, std::min(page, codeLimit - at), md));
    return slots;
}

std::vector<uint8_t> DiskImageSignature::repSpecificDigest(const EVP_MD* md) const {
    auto zeroed = trailer_.withCodeSignatureLengthZeroed();
    return FileBytes::digest(zeroed, md);
}

std::optional<std::span<const uint8_t>> DiskImageSignature::blob(uint32_t slotType) const {
    return superBlobEntry(superBlob_, slotType);
}

std::optional<NotaryTicket> DiskImageSignature::stapledTicket() const {
    auto slot = blob(stapledTicketSlot);
    if (!slot)
        return std::nullopt;
    return NotaryTicket::fromImageSlot(*slot);
}

std::optional<std::span<const uint8_t>> superBlobEntry(std::span<const uint8_t> superBlob, uint32_t type) {
    auto length = be::u32(superBlob, 4);
    auto count = be::u32(superBlob, 8);
    if (be::u32(superBlob, 0) != superBlobMagic || !length || !count || *length > superBlob.size())
        return std::nullopt;
    auto whole = superBlob.first(*length);
    for (uint64_t i = 0; i < *count; ++i) {
        auto entryType = be::u32(whole, 12 + i * 8);
        auto offset = be::u32(whole, 16 + i * 8);
        if (!entryType || !offset)
            return std::nullopt;
        if (*entryType != type)
            continue;
        auto blobLength = be::u32(whole, *offset + 4);
        if (!blobLength || *blobLength < 8 || !be::fits(*offset, *blobLength, whole.size()))
            return std::nullopt;
        return whole.subspan(*offset, *blobLength);
    }
    return std::nullopt;
}

} // namespace ostrel
