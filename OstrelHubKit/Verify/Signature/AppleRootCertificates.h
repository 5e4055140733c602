#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ostrel::signature {

// The DER bytes of Apple's three root certificates, generated at build time
// from the .cer files under OstrelHubKit/Verify/Signature/certs.
std::vector<std::span<const uint8_t>> appleRootCertificates();

} // namespace ostrel::signature
