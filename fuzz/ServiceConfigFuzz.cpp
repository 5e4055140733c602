// The service configuration file is read at start-up from a path given on the command line.
#include "Services/ServiceConfig.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const auto config =
            ostrel::ServiceConfig::fromJson(std::string_view(reinterpret_cast<const char*>(data), size));
        if (ostrel::ServiceConfig::fromJson(config.toJson()) != config)
            std::abort();
        (void)config.pinnedTrust().pinned("a." + config.downloadDomain);
    } catch (const ostrel::ServiceConfigError&) {
    }
    return 0;
}
