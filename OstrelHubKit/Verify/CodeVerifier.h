#pragma once

#include "Verify/Signature/TrustSettings.h"
#include "Verify/SignaturePolicy.h"
#include "Verify/VerifiedCode.h"

#include <filesystem>
#include <optional>
#include <string>

namespace ostrel {

// Decides whether downloaded code may be installed: a bundle (or a bare
// Mach-O file) passes only if its signature is valid under strict rules (every
// architecture, nested code, the resource seal, restricted links) and chains
// to a Developer ID certificate of the policy's team. Notarisation is read for
// every bundle; the caller decides whether it is required. Holds no state
// beyond its policy and trust settings; safe to use from any thread.
class CodeVerifier {
public:
    explicit CodeVerifier(SignaturePolicy policy = SignaturePolicy::ostrel(),
                          signature::TrustSettings trust = signature::TrustSettings::apple());

    // Throws VerificationFailure (unsigned_, invalidSignature, wrongPublisher).
    VerifiedCode verify(const std::filesystem::path& bundle) const;

    // A disk image's own signature: true when valid and by the policy's team,
    // false when it carries none; throws VerificationFailure otherwise.
    bool verifyContainerSignature(const std::filesystem::path& container) const;

    // Whether a stapled ticket lists the code of every architecture. The
    // ticket's own signature and revocation cannot be checked offline.
    bool isNotarized(const std::filesystem::path& bundle) const;

    const SignaturePolicy& policy() const { return policy_; }
    const signature::TrustSettings& trust() const { return trust_; }

private:
    SignaturePolicy policy_;
    signature::TrustSettings trust_;
};

} // namespace ostrel
