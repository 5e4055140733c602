#pragma once

#include "Verify/Signature/CodeSignatureInfo.h"
#include "Verify/Signature/Requirement.h"
#include "Verify/Signature/TrustSettings.h"
#include "Verify/SignaturePolicy.h"
#include "Verify/VerificationFailure.h"
#include "Verify/VerifiedCode.h"

#include <exception>
#include <filesystem>
#include <functional>
#include <string>

namespace ostrel::signature {

// Runs the signature check of `code` and turns every internal refusal into
// the user's sentence, named by the last component of its path: no
// signature is `unsigned_`, a damaged or untrusted one `invalidSignature`
// with its detail. Any other internal error is logged and refused as
// `invalidSignature` too, so no internal exception type reaches a user.
CodeSignatureInfo checkedAs(const std::filesystem::path& code, const std::function<CodeSignatureInfo()>& check);

// The refusal for a check stopped by an internal error (a bug, a failing
// library, no memory): the error's detail goes to the log, the user reads
// that the check could not be completed.
VerificationFailure internalFailure(const std::filesystem::path& code, const std::exception& error);

// The policy's code requirement; `invalidSignature` "bad requirement" when it
// cannot be read.
Requirement policyRequirement(const SignaturePolicy& policy, const std::string& name);

// Applies the policy's requirement to every architecture. A refusal names its
// real cause: ad-hoc code and other teams are `wrongPublisher`; code of the
// policy's own team whose certificate is not a Developer ID Application
// certificate (a development certificate, say) is `invalidSignature` saying so.
void requirePublisher(const CodeSignatureInfo& info, const SignaturePolicy& policy, const std::string& name);

// The parts of the result that come from the signature: path, identifier,
// team and every architecture's cdhash.
VerifiedCode verifiedCode(const std::filesystem::path& code, const CodeSignatureInfo& info,
                          const SignaturePolicy& policy);

// The whole check of a single Mach-O file against a policy, in the order the
// bundle verifier uses: validity (unsigned / invalidSignature), then the
// policy's requirement on every architecture. A bare file cannot carry a
// notarisation ticket, so `notarized` is always false. Components a bare file
// cannot have (sealed Info.plist or resources) are refused. Throws
// VerificationFailure only.
VerifiedCode verifyMachOCode(const std::filesystem::path& file, const SignaturePolicy& policy,
                             const TrustSettings& trust);

} // namespace ostrel::signature
