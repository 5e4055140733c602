#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ostrel::signature {

// Slot numbers of the embedded signature's components.
namespace slot {
constexpr uint32_t codeDirectory = 0;
constexpr uint32_t infoPlist = 1;
constexpr uint32_t requirements = 2;
constexpr uint32_t resources = 3;
constexpr uint32_t entitlements = 5;
constexpr uint32_t repSpecific = 6;
constexpr uint32_t entitlementsDer = 7;
constexpr uint32_t alternateCodeDirectories = 0x1000;
constexpr uint32_t alternateCodeDirectoryLimit = 0x1005;
constexpr uint32_t cmsSignature = 0x10000;
constexpr uint32_t ticket = 0x10002;
} // namespace slot

namespace blobMagic {
constexpr uint32_t requirement = 0xFADE0C00;
constexpr uint32_t requirementSet = 0xFADE0C01;
constexpr uint32_t codeDirectory = 0xFADE0C02;
constexpr uint32_t embeddedSignature = 0xFADE0CC0;
constexpr uint32_t entitlements = 0xFADE7171;
constexpr uint32_t entitlementsDer = 0xFADE7172;
constexpr uint32_t wrapper = 0xFADE0B01;
} // namespace blobMagic

struct Blob {
    uint32_t slot = 0;
    uint32_t magic = 0;
    std::span<const uint8_t> bytes; // the whole blob, header included
};

// The embedded signature: an index of blobs. Every blob must lie inside the
// SuperBlob, after its index, without overlapping another, in a known slot
// and at most once: an unknown or doubled component is refused rather than
// ignored, because another reader might honour it.
class SuperBlob {
public:
    static SuperBlob parse(std::span<const uint8_t> bytes);
    // Components kept as separate files (code without a Mach-O); each blob
    // must have a known slot, appear once and carry its own length.
    static SuperBlob fromComponents(std::vector<Blob> components);

    const std::vector<Blob>& blobs() const { return blobs_; }
    const Blob* find(uint32_t slot) const;
    // Bytes the SuperBlob header says it uses (the signature area may be longer).
    uint32_t length() const { return length_; }

private:
    std::vector<Blob> blobs_;
    uint32_t length_ = 0;
};

} // namespace ostrel::signature
