#pragma once

#include "Verify/Signature/TrustSettings.h"
#include "Verify/SignaturePolicy.h"
#include "Verify/VerifiedCode.h"

#include <filesystem>

namespace ostrel::signature {

// The whole check of a single Mach-O file against a policy, in the order the
// bundle verifier uses: validity (unsigned / invalidSignature), then the
// policy's requirement on every architecture (wrongPublisher). A bare file
// cannot carry a notarisation ticket, so `notarized` is always false.
// Components a bare file cannot have (sealed Info.plist or resources) are
// refused. Throws VerificationFailure.
VerifiedCode verifyMachOCode(const std::filesystem::path& file, const SignaturePolicy& policy,
                             const TrustSettings& trust);

} // namespace ostrel::signature
