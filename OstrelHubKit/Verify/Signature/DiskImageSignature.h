#pragma once

#include "Util/UniqueFd.h"
#include "Verify/Signature/DiskImageTrailer.h"
#include "Verify/Signature/NotaryTicket.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include <openssl/evp.h>

namespace ostrel {

// The code signature of a disk image: a SuperBlob placed immediately before
// the koly trailer. This reads and bounds it and hashes the signed bytes;
// parsing the CodeDirectory and checking the CMS are done elsewhere.
class DiskImageSignature {
public:
    static constexpr uint64_t maxSignatureBytes = 4 * 1024 * 1024;
    static constexpr uint32_t stapledTicketSlot = 0x10002;
    static constexpr uint32_t maxPageSizeLog2 = 30;

    // Absent when the image carries no signature. Throws SignatureDefect for a
    // damaged trailer or a signature that does not sit flush against it.
    static std::optional<DiskImageSignature> read(const std::filesystem::path& image);
    // The same checks on an image already in memory (trailer at its end).
    static std::optional<DiskImageTrailer> locate(std::span<const uint8_t> image);

    const DiskImageTrailer& trailer() const { return trailer_; }
    uint64_t signatureOffset() const { return trailer_.codeSignatureOffset; }
    const std::vector<uint8_t>& superBlob() const { return superBlob_; }

    // The code slots of the image: the bytes [0, codeLimit) hashed page by page
    // (2^pageSizeLog2 bytes; 0 = one hash over everything), the last page as
    // it is. Throws unless codeLimit is where the signature starts.
    std::vector<std::vector<uint8_t>> codeSlotDigests(uint64_t codeLimit, uint32_t pageSizeLog2,
                                                      const EVP_MD* md) const;
    // The rep-specific special slot: the trailer hashed with its signature length zeroed.
    std::vector<uint8_t> repSpecificDigest(const EVP_MD* md) const;
    // One blob of the SuperBlob by slot type (bounds-checked), absent when not present.
    std::optional<std::span<const uint8_t>> blob(uint32_t slotType) const;
    std::optional<NotaryTicket> stapledTicket() const;

private:
    DiskImageSignature(UniqueFd fd, DiskImageTrailer trailer, std::vector<uint8_t> superBlob)
        : fd_(std::move(fd)), trailer_(trailer), superBlob_(std::move(superBlob)) {}

    UniqueFd fd_;
    DiskImageTrailer trailer_;
    std::vector<uint8_t> superBlob_;
};

// A blob of a SuperBlob (magic 0xFADE0CC0) by its index type; bounds-checked.
std::optional<std::span<const uint8_t>> superBlobEntry(std::span<const uint8_t> superBlob, uint32_t type);

} // namespace ostrel
