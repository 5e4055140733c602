#pragma once

#include "Verify/Signature/ByteReader.h"
#include "Verify/Signature/HashType.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace ostrel::signature {

namespace codeFlags {
constexpr uint32_t adhoc = 0x2;
constexpr uint32_t expires = 0x400;
constexpr uint32_t runtime = 0x10000;
constexpr uint32_t linkerSigned = 0x20000;
} // namespace codeFlags

// Special slots: hashes of components kept outside the code pages.
namespace specialSlot {
constexpr uint32_t infoPlist = 1;
constexpr uint32_t requirements = 2;
constexpr uint32_t resources = 3;
constexpr uint32_t application = 4;
constexpr uint32_t entitlements = 5;
constexpr uint32_t repSpecific = 6;
constexpr uint32_t entitlementsDer = 7;
} // namespace specialSlot

// Brings one block of code into memory for hashing and returns its bytes
// (exactly as many as the block has). Without one, code is hashed where it
// lies; a mapped file's reader copies each block from the file instead (see
// MappedFile).
using BlockReader = std::function<std::span<const uint8_t>(std::span<const uint8_t> block)>;

// One CodeDirectory: the hashes of a code's pages and of its other
// components. Parsing checks that every string and hash it points to lies
// inside the blob; the bytes stay in the mapped file.
class CodeDirectory {
public:
    static CodeDirectory parse(std::span<const uint8_t> blob);

    std::span<const uint8_t> bytes() const { return bytes_; }
    uint32_t version() const { return version_; }
    uint32_t flags() const { return flags_; }
    HashType hashType() const { return hashType_; }
    const std::string& identifier() const { return identifier_; }
    const std::optional<std::string>& teamID() const { return teamID_; }
    uint64_t codeLimit() const { return codeLimit_; }
    uint32_t pageSize() const { return pageSizeLog2_ == 0 ? 0 : uint32_t(1) << pageSizeLog2_; }
    uint32_t codeSlotCount() const { return codeSlots_; }
    bool isAdhoc() const { return (flags_ & codeFlags::adhoc) != 0; }

    // The stored hash of special slot n (1 = Info.plist ...), or nothing when
    // the slot is beyond the table or all zero (the component is unsealed).
    std::optional<Bytes> specialSlot(uint32_t n) const;
    std::span<const uint8_t> codeSlot(uint32_t index) const;

    // The hash of the whole blob in its own hash type, and the 20-byte form
    // that requirements and tickets use.
    Bytes cdhash() const;
    Bytes cdhash20() const;

    // Hashes code[0, codeLimit) page by page, in blocks brought in by `read`;
    // returns the first page whose hash differs. Throws when `code` is
    // shorter than codeLimit.
    std::optional<uint32_t> firstMismatchedPage(std::span<const uint8_t> code, const BlockReader& read = {}) const;

private:
    std::span<const uint8_t> bytes_;
    uint32_t version_ = 0;
    uint32_t flags_ = 0;
    HashType hashType_ = HashType::sha256;
    std::string identifier_;
    std::optional<std::string> teamID_;
    uint64_t codeLimit_ = 0;
    uint8_t pageSizeLog2_ = 0;
    uint32_t hashOffset_ = 0;
    uint32_t specialSlots_ = 0;
    uint32_t codeSlots_ = 0;
};

} // namespace ostrel::signature
