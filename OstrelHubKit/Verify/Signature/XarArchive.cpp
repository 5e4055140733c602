#include "Verify/Signature/XarArchive.h"

#include "Verify/Signature/BigEndianBytes.h"
#include "Verify/Signature/FileBytes.h"
#include "Verify/Signature/SignatureDefect.h"

#include <memory>

#include <zlib.h>

namespace ostrel {
namespace {

const char* const tooLarge = "the package's table of contents is too large";

struct InflateEnd {
    void operator()(z_stream* s) const { inflateEnd(s); }
};

// Inflates the TOC, stopping as soon as the output would pass the limit, so a
// small bomb never grows in memory.
std::string inflateToc(std::span<const uint8_t> compressed, uint64_t declared) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        throw SignatureDefect("the package's table of contents cannot be read");
    std::unique_ptr<z_stream, InflateEnd> guard(&stream);
    std::string out(static_cast<size_t>(declared) + 1, '\0'); // one spare byte reveals a longer stream
    stream.next_in = const_cast<Bytef*>(compressed.data());
    stream.avail_in = static_cast<uInt>(compressed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    int status = inflate(&stream, Z_FINISH);
    if (status != Z_STREAM_END || stream.total_out != declared || stream.avail_in != 0)
        throw SignatureDefect("the package's table of contents is damaged");
    out.resize(static_cast<size_t>(declared));
    return out;
}

// Checksum styles are compared without regard to case ("sha1", "SHA1").
std::string lowerCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

bool sameStyle(const std::string& style, const XarHeader& header) {
    return lowerCase(style) == header.checksumStyle();
}

const EVP_MD* digestForStyle(const std::string& given) {
    std::string style = lowerCase(given);
    if (style == "sha1")
        return EVP_sha1();
    if (style == "sha256")
        return EVP_sha256();
    if (style == "sha512")
        return EVP_sha512();
    return nullptr; // md5 and none are not accepted as proof of anything
}

} // namespace

XarArchive::Front XarArchive::parseFront(std::span<const uint8_t> bytes) {
    Front front;
    front.header = XarHeader::parse(bytes);
    const XarHeader& h = front.header;
    if (h.tocUncompressedLength > maxTocBytes || h.tocCompressedLength > maxTocBytes)
        throw SignatureDefect(tooLarge);
    if (!BigEndianBytes::fits(h.headerSize, h.tocCompressedLength, bytes.size()))
        throw SignatureDefect("the package is cut short");
    auto compressed = bytes.subspan(h.headerSize, h.tocCompressedLength);
    front.compressedToc.assign(compressed.begin(), compressed.end());
    front.toc = XarToc::parse(inflateToc(compressed, h.tocUncompressedLength));
    return front;
}

XarArchive XarArchive::open(const std::filesystem::path& package) {
    UniqueFd fd = FileBytes::openRegular(package, "the package");
    uint64_t size = FileBytes::sizeOf(fd.get());
    auto first = FileBytes::readAt(fd.get(), 0, std::min<uint64_t>(size, XarHeader::maximumSize), "the package");
    XarHeader header = XarHeader::parse(first);
    if (header.tocCompressedLength > maxTocBytes || header.tocUncompressedLength > maxTocBytes)
        throw SignatureDefect(tooLarge);
    uint64_t frontSize = header.headerSize + header.tocCompressedLength;
    if (frontSize > size)
        throw SignatureDefect("the package is cut short");
    Front front = parseFront(FileBytes::readAt(fd.get(), 0, frontSize, "the package"));
    return XarArchive(std::move(fd), size, std::move(front));
}

std::vector<uint8_t> XarArchive::heapBytes(uint64_t offset, uint64_t size, const char* what) const {
    if (size > maxSignatureBytes)
        throw SignatureDefect(std::string(what) + " is too large");
    if (!BigEndianBytes::fits(offset, size, fileSize_ - heapStart()))
        throw SignatureDefect(std::string(what) + " lies outside the package");
    return FileBytes::readAt(fd_.get(), heapStart() + offset, size, "the package");
}

std::vector<uint8_t> XarArchive::storedTocChecksum() const {
    const EVP_MD* md = header().digest();
    if (md == nullptr || header().checksum == XarHeader::Checksum::md5)
        throw SignatureDefect("the package's table of contents has no strong checksum");
    if (!sameStyle(toc().checksumStyle, header()))
        throw SignatureDefect("the package's checksum kinds disagree");
    if (toc().checksumSize != static_cast<uint64_t>(EVP_MD_get_size(md)))
        throw SignatureDefect("the package's checksum has the wrong size");
    return heapBytes(toc().checksumOffset, toc().checksumSize, "the package's checksum");
}

void XarArchive::verifyTocChecksum() const {
    auto stored = storedTocChecksum();
    if (FileBytes::digest(compressedToc(), header().digest()) != stored)
        throw SignatureDefect("the package's table of contents does not match its checksum");
}

std::vector<uint8_t> XarArchive::signatureBytes(const XarSignature& signature) const {
    return heapBytes(signature.offset, signature.size, "the package's signature");
}

void XarArchive::verifyFileChecksums() const {
    for (const XarFile& file : toc().files) {
        if (file.data)
            verifyStored(*file.data, file.path);
        for (const XarFileData& attribute : file.extendedAttributes)
            verifyStored(attribute, file.path + " (extended attribute)");
    }
}

void XarArchive::verifyStored(const XarFileData& data, const std::string& shown) const {
    const EVP_MD* md = digestForStyle(data.archivedStyle);
    if (md == nullptr || data.archivedChecksum.size() != static_cast<size_t>(EVP_MD_get_size(md)))
        throw SignatureDefect(shown + " in the package has no usable checksum");
    if (!BigEndianBytes::fits(data.offset, data.length, fileSize_ - heapStart()))
        throw SignatureDefect(shown + " in the package lies outside the package");
    if (FileBytes::digestRange(fd_.get(), heapStart() + data.offset, data.length, md) != data.archivedChecksum)
        throw SignatureDefect(shown + " in the package was modified after signing");
}

} // namespace ostrel
