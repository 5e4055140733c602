#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// A signature element of a package's table of contents: where its bytes lie in
// the heap and the certificates (DER, leaf first) it carries.
struct XarSignature {
    std::string style; // "RSA" or "CMS"
    uint64_t offset = 0;
    uint64_t size = 0;
    std::vector<std::vector<uint8_t>> certificates;

    bool operator==(const XarSignature&) const = default;
};

// The stored bytes of one archived file and their checksums.
struct XarFileData {
    uint64_t offset = 0; // heap-relative
    uint64_t length = 0; // bytes stored in the heap
    uint64_t size = 0;   // bytes once extracted
    std::string encoding;
    std::string archivedStyle;
    std::vector<uint8_t> archivedChecksum;
    std::string extractedStyle;
    std::vector<uint8_t> extractedChecksum;

    bool operator==(const XarFileData&) const = default;
};

struct XarFile {
    std::string path; // names of the enclosing file elements joined with "/"
    std::string type; // "file", "directory", ...
    std::optional<XarFileData> data;
    // Extended attributes are stored in the heap like data, with their own checksums.
    std::vector<XarFileData> extendedAttributes;

    bool operator==(const XarFile&) const = default;
};

// The parsed XML table of contents of a package. Parsed with expat, with
// entity declarations refused outright (no external or expanding entities)
// and element nesting limited.
struct XarToc {
    static constexpr int maxDepth = 64;

    std::string checksumStyle;
    uint64_t checksumOffset = 0;
    uint64_t checksumSize = 0;
    std::optional<XarSignature> signature;  // <signature style="RSA">
    std::optional<XarSignature> xSignature; // <x-signature style="CMS">
    std::vector<XarFile> files;             // in document order, parents first

    bool operator==(const XarToc&) const = default;

    // Throws SignatureDefect ("the package's table of contents is damaged", ...).
    static XarToc parse(std::string_view xml);
};

} // namespace ostrel
