// Feeds arbitrary text to the disk-image listing reader and its safety check.
#include "Install/DiskImageListing.h"
#include "Install/InstallError.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const auto listing =
            ostrel::DiskImageListing::parse(std::string_view(reinterpret_cast<const char*>(data), size));
        listing.assertSafe();
        (void)listing.totalSize();
    } catch (const ostrel::InstallError&) {
        // Refusals are the expected outcome for hostile listings.
    }
    return 0;
}
