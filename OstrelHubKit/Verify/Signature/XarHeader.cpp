#include "Verify/Signature/XarHeader.h"

#include "Verify/Signature/BigEndianBytes.h"
#include "Verify/Signature/SignatureDefect.h"

#include <algorithm>
#include <cstring>

namespace ostrel {
namespace {

namespace be = BigEndianBytes;

XarHeader::Checksum namedChecksum(std::span<const uint8_t> name) {
    auto end = std::find(name.begin(), name.end(), uint8_t{0});
    std::string text(name.begin(), end);
    if (text == "sha1")
        return XarHeader::Checksum::sha1;
    if (text == "sha256")
        return XarHeader::Checksum::sha256;
    if (text == "sha512")
        return XarHeader::Checksum::sha512;
    if (text == "md5")
        return XarHeader::Checksum::md5;
    throw SignatureDefect("the package's checksum kind is not supported");
}

} // namespace

XarHeader XarHeader::parse(std::span<const uint8_t> bytes) {
    if (bytes.size() < minimumSize || std::memcmp(bytes.data(), "xar!", 4) != 0)
        throw SignatureDefect("the package header is damaged");
    XarHeader header;
    header.headerSize = *be::u16(bytes, 4);
    header.version = *be::u16(bytes, 6);
    header.tocCompressedLength = *be::u64(bytes, 8);
    header.tocUncompressedLength = *be::u64(bytes, 16);
    uint32_t algorithm = *be::u32(bytes, 24);
    if (header.headerSize < minimumSize || header.headerSize > maximumSize || header.headerSize > bytes.size())
        throw SignatureDefect("the package header is damaged");
    if (header.version != 1)
        throw SignatureDefect("the package format version is not supported");
    switch (algorithm) {
    case 0:
        header.checksum = Checksum::none;
        break;
    case 1:
        header.checksum = Checksum::sha1;
        break;
    case 2:
        header.checksum = Checksum::md5;
        break;
    case 3:
        // Some writers put the checksum's name after a longer header; a plain
        // 28-byte header with this value means SHA-256.
        header.checksum = header.headerSize == minimumSize
                              ? Checksum::sha256
                              : namedChecksum(bytes.subspan(minimumSize, header.headerSize - minimumSize));
        break;
    default:
        throw SignatureDefect("the package's checksum kind is not supported");
    }
    return header;
}

std::string XarHeader::checksumStyle() const {
    switch (checksum) {
    case Checksum::none:
        return "none";
    case Checksum::sha1:
        return "sha1";
    case Checksum::md5:
        return "md5";
    case Checksum::sha256:
        return "sha256";
    case Checksum::sha512:
        return "sha512";
    }
    return "none";
}

const EVP_MD* XarHeader::digest() const {
    switch (checksum) {
    case Checksum::sha1:
        return EVP_sha1();
    case Checksum::md5:
        return EVP_md5();
    case Checksum::sha256:
        return EVP_sha256();
    case Checksum::sha512:
        return EVP_sha512();
    case Checksum::none:
        break;
    }
    return nullptr;
}

} // namespace ostrel
