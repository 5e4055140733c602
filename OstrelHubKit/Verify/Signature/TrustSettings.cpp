#include "Verify/Signature/TrustSettings.h"

#include "Verify/Signature/AppleRootCertificates.h"

namespace ostrel::signature {

TrustSettings TrustSettings::apple() {
    TrustSettings settings{TrustAnchors::apple()};
    for (std::span<const uint8_t> der : appleIntermediateCertificates())
        settings.intermediates.push_back(Certificate::fromDer(der));
    return settings;
}

} // namespace ostrel::signature
