#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ostrel::signature {

// DER bytes generated at build time from the .cer files under
// OstrelHubKit/Verify/Signature/certs.

// Apple Root CA, Apple Root CA - G2, Apple Root CA - G3.
std::vector<std::span<const uint8_t>> appleRootCertificates();
// Developer ID Certification Authority (G1 and G2) and Apple Timestamp
// Certification Authority: not trusted, only used to complete chains whose
// signatures leave them out (Apple's time stamps carry only their signer).
std::vector<std::span<const uint8_t>> appleIntermediateCertificates();

} // namespace ostrel::signature
