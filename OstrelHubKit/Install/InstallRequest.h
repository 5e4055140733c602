#pragma once

#include "Services/Download.h"

#include <string>

namespace ostrel {

// One product release to install: the ledger key, the names copied into the
// ledger, and the store file to fetch.
struct InstallRequest {
    std::string productId;
    std::string productName;
    std::string version;
    Download download;
    bool operator==(const InstallRequest&) const = default;
};

} // namespace ostrel
