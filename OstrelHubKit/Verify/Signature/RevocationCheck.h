#pragma once

#include "Verify/Signature/Certificate.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ostrel::signature {

// Whether a validated signature has been withdrawn. Apple answers this only
// online (OCSP for its Developer ID leaves), so offline it cannot be known:
// the default says "not revoked". This is the seam where an OCSP client or a
// local deny-list plugs in; it runs after the chain has been validated.
class RevocationCheck {
public:
    virtual ~RevocationCheck() = default;
    // A short detail ("the signing certificate has been revoked") when the
    // signature must be refused, nothing otherwise.
    virtual std::optional<std::string> revocationReason(const CertificateChain& chain,
                                                        const std::vector<Bytes>& cdhashes) const;
};

// A local deny-list: leaf serial numbers (upper-case hex), team identifiers
// and 20-byte cdhashes (lower-case hex) known to be withdrawn.
class DenyList : public RevocationCheck {
public:
    std::set<std::string> serials;
    std::set<std::string> teams;
    std::set<std::string> cdhashes;

    std::optional<std::string> revocationReason(const CertificateChain& chain,
                                                const std::vector<Bytes>& codeHashes) const override;
};

} // namespace ostrel::signature
