#pragma once

#include "Util/UniqueFd.h"
#include "Verify/Signature/XarHeader.h"
#include "Verify/Signature/XarToc.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ostrel {

// An installer package (xar archive) opened for checking: its header, its
// table of contents, and access to the heap that holds the TOC checksum, the
// signatures and every file's bytes. Chain validation is not done here; this
// exposes what the signatures sign and the bytes to check them with.
//
// A package's signature covers only the TOC checksum, so a caller must both
// verify that checksum and every file's archived checksum, or payloads could
// be swapped under a valid signature.
class XarArchive {
public:
    // Limits for a table of contents, before and after inflating it.
    static constexpr uint64_t maxTocBytes = 16 * 1024 * 1024;
    // Signatures and checksums are small; a bigger heap range for one is refused.
    static constexpr uint64_t maxSignatureBytes = 1024 * 1024;

    static XarArchive open(const std::filesystem::path& package);

    // The header and table of contents from the first bytes of a package (for
    // checks of untrusted bytes without a file).
    struct Front {
        XarHeader header;
        std::vector<uint8_t> compressedToc;
        XarToc toc;
    };
    static Front parseFront(std::span<const uint8_t> bytes);

    const XarHeader& header() const { return front_.header; }
    const XarToc& toc() const { return front_.toc; }
    const std::vector<uint8_t>& compressedToc() const { return front_.compressedToc; }
    uint64_t heapStart() const { return front_.header.headerSize + front_.header.tocCompressedLength; }

    // The stored TOC checksum: what both signatures sign.
    std::vector<uint8_t> storedTocChecksum() const;
    // Throws SignatureDefect unless the checksum kind is SHA-1 or stronger, the
    // TOC names the same kind, and the stored checksum equals the digest of the
    // compressed TOC bytes.
    void verifyTocChecksum() const;
    // The bytes of a signature element.
    std::vector<uint8_t> signatureBytes(const XarSignature& signature) const;
    // Throws SignatureDefect naming the first file (or extended attribute)
    // whose stored bytes do not match their archived checksum (or that has none).
    void verifyFileChecksums() const;

    int fd() const { return fd_.get(); }
    uint64_t fileSize() const { return fileSize_; }

private:
    XarArchive(UniqueFd fd, uint64_t fileSize, Front front)
        : fd_(std::move(fd)), fileSize_(fileSize), front_(std::move(front)) {}
    std::vector<uint8_t> heapBytes(uint64_t offset, uint64_t size, const char* what) const;
    void verifyStored(const XarFileData& data, const std::string& shown) const;

    UniqueFd fd_;
    uint64_t fileSize_ = 0;
    Front front_;
};

} // namespace ostrel
