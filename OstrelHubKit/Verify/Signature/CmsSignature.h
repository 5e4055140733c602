#pragma once

#include "Verify/Signature/Certificate.h"
#include "Verify/Signature/HashType.h"
#include "Verify/Signature/TrustSettings.h"

#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ostrel::signature {

// A CodeDirectory as the signature's hash-agility attributes name it.
struct CodeDirectoryHash {
    HashType type = HashType::sha256;
    Bytes cdhash20;   // 20-byte form (attribute 1.2.840.113635.100.9.1)
    Bytes fullDigest; // untruncated digest (attribute 1.2.840.113635.100.9.2)
    bool operator==(const CodeDirectoryHash&) const = default;
};

// What a valid CMS signature proves.
struct SignerEvidence {
    CertificateChain chain;                 // validated, leaf first, anchor last
    std::optional<std::time_t> timestamp{}; // verified RFC 3161 time, when present
};

namespace eku {
constexpr const char* codeSigning = "1.3.6.1.5.5.7.3.3";
constexpr const char* developerIdInstaller = "1.2.840.113635.100.4.13";
} // namespace eku

// Checks a detached CMS SignedData (BER or DER) over `signedContent`: one
// signer, a valid signature, the time stamp when present (its time becomes
// the validation time), the chain to the injected anchors only, the leaf's
// extended key usage, and revocation through the hook. With a non-empty
// `codeDirectories`, the hash-agility attributes must name exactly those
// CodeDirectories, so none can be added or removed after signing. Throws
// SignatureFailure::invalid with a short detail.
SignerEvidence verifyCmsSignature(std::span<const uint8_t> cms, std::span<const uint8_t> signedContent,
                                  const std::vector<CodeDirectoryHash>& codeDirectories, const TrustSettings& trust,
                                  const std::string& requiredEku);

CodeDirectoryHash codeDirectoryHash(HashType type, std::span<const uint8_t> codeDirectory);

} // namespace ostrel::signature
