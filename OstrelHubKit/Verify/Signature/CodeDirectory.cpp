#include "Verify/Signature/CodeDirectory.h"

#include "Verify/Signature/SignatureFailure.h"
#include "Verify/Signature/SuperBlob.h"

#include <algorithm>

namespace ostrel::signature {

namespace {

constexpr uint32_t earliestVersion = 0x20001;
// Later versions only append fields; beyond this the layout may change.
constexpr uint32_t latestVersion = 0x2F000;
constexpr uint32_t versionWithScatter = 0x20100;
constexpr uint32_t versionWithTeam = 0x20200;
constexpr uint32_t versionWithCodeLimit64 = 0x20300;
// Pages from 512 bytes to 64 KiB; 0 means one hash over everything.
constexpr uint8_t minPageLog2 = 9;
constexpr uint8_t maxPageLog2 = 16;
// Code is hashed in blocks of whole pages of any size.
constexpr uint64_t readBlockBytes = uint64_t(4) << maxPageLog2;

} // namespace

CodeDirectory CodeDirectory::parse(std::span<const uint8_t> blob) {
    ByteReader r(blob, "the code directory");
    if (r.be32(0) != blobMagic::codeDirectory || r.be32(4) != blob.size())
        r.fail("is malformed");
    CodeDirectory cd;
    cd.bytes_ = blob;
    cd.version_ = r.be32(8);
    if (cd.version_ < earliestVersion || cd.version_ > latestVersion)
        r.fail("has an unsupported version");
    cd.flags_ = r.be32(12);
    cd.hashOffset_ = r.be32(16);
    cd.identifier_ = r.cString(r.be32(20));
    cd.specialSlots_ = r.be32(24);
    cd.codeSlots_ = r.be32(28);
    cd.codeLimit_ = r.be32(32);
    auto type = hashTypeFromNumber(r.u8(37));
    if (!type || r.u8(36) != hashSize(*type))
        r.fail("uses an unknown hash");
    cd.hashType_ = *type;
    cd.pageSizeLog2_ = r.u8(39);
    if (cd.pageSizeLog2_ != 0 && (cd.pageSizeLog2_ < minPageLog2 || cd.pageSizeLog2_ > maxPageLog2))
        r.fail("has an unsupported page size");
    // Scatter lists describe code in pieces; no current tool writes them.
    if (cd.version_ >= versionWithScatter && r.be32(44) != 0)
        r.fail("uses scatter lists");
    if (cd.version_ >= versionWithTeam && r.be32(48) != 0)
        cd.teamID_ = r.cString(r.be32(48));
    if (cd.version_ >= versionWithCodeLimit64 && r.be64(56) != 0) {
        if (cd.codeLimit_ != 0 && cd.codeLimit_ != r.be64(56))
            r.fail("has two code limits");
        cd.codeLimit_ = r.be64(56);
    }
    uint64_t size = hashSize(cd.hashType_);
    if (uint64_t(cd.specialSlots_) * size > cd.hashOffset_)
        r.fail("has special slots outside it");
    r.bytes(cd.hashOffset_, uint64_t(cd.codeSlots_) * size);
    uint64_t expectedSlots = cd.pageSizeLog2_ == 0 ? (cd.codeLimit_ > 0 ? 1 : 0)
                             : cd.codeLimit_ == 0  ? 0
                                                   : ((cd.codeLimit_ - 1) >> cd.pageSizeLog2_) + 1;
    if (expectedSlots != cd.codeSlots_)
        r.fail("does not cover its code");
    return cd;
}

std::optional<Bytes> CodeDirectory::specialSlot(uint32_t n) const {
    if (n == 0 || n > specialSlots_)
        return std::nullopt;
    size_t size = hashSize(hashType_);
    auto hash = bytes_.subspan(hashOffset_ - uint64_t(n) * size, size);
    if (std::all_of(hash.begin(), hash.end(), [](uint8_t b) { return b == 0; }))
        return std::nullopt;
    return Bytes(hash.begin(), hash.end());
}

std::span<const uint8_t> CodeDirectory::codeSlot(uint32_t index) const {
    size_t size = hashSize(hashType_);
    return bytes_.subspan(hashOffset_ + uint64_t(index) * size, size);
}

Bytes CodeDirectory::cdhash() const {
    return digest(hashType_, bytes_);
}

Bytes CodeDirectory::cdhash20() const {
    Bytes full = cdhash();
    full.resize(20);
    return full;
}

std::optional<uint32_t> CodeDirectory::firstMismatchedPage(std::span<const uint8_t> code,
                                                           const BlockReader& read) const {
    if (code.size() < codeLimit_)
        throw SignatureFailure::invalid("the code directory covers more than the code");
    uint64_t page = pageSize() == 0 ? codeLimit_ : pageSize();
    Hasher hasher(hashType_);
    uint8_t computed[64];
    hasher.start();
    for (uint64_t position = 0; position < codeLimit_;) {
        std::span<const uint8_t> block = code.subspan(position, std::min(readBlockBytes, codeLimit_ - position));
        std::span<const uint8_t> bytes = read ? read(block) : block;
        if (bytes.size() != block.size())
            throw SignatureFailure::invalid("the code is unreadable");
        // A page may end inside the block or go on into the next one.
        for (uint64_t used = 0; used < bytes.size();) {
            uint64_t pageEnd = std::min((position / page + 1) * page, codeLimit_);
            uint64_t piece = std::min<uint64_t>(pageEnd - position, bytes.size() - used);
            hasher.add(bytes.subspan(used, piece));
            used += piece;
            position += piece;
            if (position < pageEnd)
                continue;
            hasher.finish(computed);
            uint32_t index = static_cast<uint32_t>((pageEnd - 1) / page);
            auto stored = codeSlot(index);
            if (!std::equal(stored.begin(), stored.end(), computed))
                return index;
            hasher.start();
        }
    }
    return std::nullopt;
}

} // namespace ostrel::signature
