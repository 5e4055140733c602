#include "Verify/Signature/SuperBlob.h"

#include "Verify/Signature/ByteReader.h"

#include <algorithm>

namespace ostrel::signature {

namespace {

// Far more components than any signature has; bounds the work on bad input.
constexpr uint32_t maxBlobs = 64;

bool knownSlot(uint32_t s) {
    return s == slot::codeDirectory || s == slot::requirements || s == slot::entitlements ||
           s == slot::entitlementsDer || s == slot::repSpecific ||
           (s >= slot::alternateCodeDirectories && s < slot::alternateCodeDirectoryLimit) || s == slot::cmsSignature ||
           s == slot::ticket;
}

} // namespace

SuperBlob SuperBlob::parse(std::span<const uint8_t> bytes) {
    ByteReader area(bytes, "the signature");
    if (area.be32(0) != blobMagic::embeddedSignature)
        area.fail("is not an embedded signature");
    SuperBlob result;
    result.length_ = area.be32(4);
    ByteReader reader = area.sub(0, result.length_, "the signature");
    uint32_t count = reader.be32(8);
    if (count > maxBlobs)
        reader.fail("has too many components");
    uint64_t indexEnd = 12 + uint64_t(count) * 8;
    reader.bytes(0, indexEnd);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t slotNumber = reader.be32(12 + uint64_t(i) * 8);
        uint32_t offset = reader.be32(16 + uint64_t(i) * 8);
        if (!knownSlot(slotNumber))
            reader.fail("has an unknown component");
        if (result.find(slotNumber) != nullptr)
            reader.fail("has a component twice");
        if (offset < indexEnd)
            reader.fail("has a component inside its index");
        ByteReader header = reader.sub(offset, 8, "a signature component");
        uint32_t length = header.be32(4);
        if (length < 8)
            reader.fail("has a malformed component");
        result.blobs_.push_back({slotNumber, header.be32(0), reader.bytes(offset, length)});
    }
    std::vector<Blob> sorted = result.blobs_;
    std::sort(sorted.begin(), sorted.end(), [](auto& a, auto& b) { return a.bytes.data() < b.bytes.data(); });
    for (size_t i = 1; i < sorted.size(); ++i)
        if (sorted[i - 1].bytes.data() + sorted[i - 1].bytes.size() > sorted[i].bytes.data())
            reader.fail("has overlapping components");
    return result;
}

SuperBlob SuperBlob::fromComponents(std::vector<Blob> components) {
    SuperBlob result;
    for (Blob& blob : components) {
        ByteReader reader(blob.bytes, "a signature component");
        if (!knownSlot(blob.slot) || result.find(blob.slot) != nullptr || reader.be32(0) != blob.magic ||
            reader.be32(4) != blob.bytes.size())
            reader.fail("is malformed");
        result.blobs_.push_back(blob);
    }
    return result;
}

const Blob* SuperBlob::find(uint32_t slotNumber) const {
    for (const Blob& blob : blobs_)
        if (blob.slot == slotNumber)
            return &blob;
    return nullptr;
}

} // namespace ostrel::signature
