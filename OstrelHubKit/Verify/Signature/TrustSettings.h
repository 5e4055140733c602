#pragma once

#include "Verify/Signature/RevocationCheck.h"
#include "Verify/Signature/TrustAnchors.h"

#include <ctime>
#include <memory>
#include <optional>

namespace ostrel::signature {

// What a signature is checked against: the roots it must chain to, the
// revocation hook, and the clock (tests fix it; production uses the time of
// the check).
struct TrustSettings {
    TrustAnchors anchors;
    std::shared_ptr<const RevocationCheck> revocation = std::make_shared<RevocationCheck>();
    std::optional<std::time_t> now{};
    // Untrusted certificates that may complete a chain a signature leaves
    // incomplete; they must still chain to an anchor.
    std::vector<Certificate> intermediates{};

    // Apple's roots, with Apple's Developer ID and time-stamp intermediates.
    static TrustSettings apple();
    std::time_t currentTime() const { return now ? *now : std::time(nullptr); }
};

} // namespace ostrel::signature
