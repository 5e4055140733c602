// Feeds untrusted bytes to the resource-seal reader: property-list parsing,
// files2 entries and rules2 patterns, then matches a few paths.
#include "Verify/Signature/CodeResources.h"
#include "Verify/Signature/SignatureDefect.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        ostrel::CodeResources seal = ostrel::CodeResources::parse(std::span(data, size), "CodeResources");
        for (const char* path : {"Info.plist", "Resources/a.txt", "Resources/en.lproj/x", "Frameworks/A.framework"})
            (void)seal.rules.match(path);
    } catch (const ostrel::SignatureDefect&) {
    }
    return 0;
}
