#pragma once

#include "Install/InstallLedger.h"

#include <optional>
#include <string>

namespace ostrel::test {

// The version the ledger records for a product, or none. Compared whole, a missing entry fails
// the check with a message instead of ending the test in a crash.
inline std::optional<std::string> recordedVersion(const InstallLedger& ledger, const std::string& productId) {
    const auto record = ledger.record(productId);
    return record ? std::optional(record->version) : std::nullopt;
}

} // namespace ostrel::test
