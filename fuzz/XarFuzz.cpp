// Feeds untrusted bytes as the front of an installer package: the header,
// the zlib table of contents and its XML.
#include "Verify/Signature/SignatureDefect.h"
#include "Verify/Signature/XarArchive.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        (void)ostrel::XarArchive::parseFront(std::span(data, size));
    } catch (const ostrel::SignatureDefect&) {
    }
    return 0;
}
