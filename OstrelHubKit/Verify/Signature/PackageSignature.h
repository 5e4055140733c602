#pragma once

#include "Verify/Signature/TrustSettings.h"

#include <filesystem>
#include <optional>
#include <string>

namespace ostrel::signature {

// What the signature of an installer package (xar) says, as the extractor
// needs it to accept or refuse the package.
struct PackageSignatureFacts {
    // False when the package carries no signature at all.
    bool isSigned = false;
    // True only when the archive is intact (TOC checksum, every file's
    // archived checksum) and both the RSA and the CMS signature are valid by
    // the same leaf, chained to a trust anchor.
    bool valid = false;
    // The chain runs through a Developer ID CA (.6.2.6) to a Developer ID
    // Installer leaf (.6.1.14): "signed by a developer certificate issued by
    // Apple for distribution".
    bool issuedForDistribution = false;
    // "Developer ID Installer: Name (TEAMID)", the leaf's common name.
    std::optional<std::string> leaf;
    // Why `valid` is false, for the log.
    std::string problem;
};

PackageSignatureFacts checkPackageSignature(const std::filesystem::path& package, const TrustSettings& trust);

} // namespace ostrel::signature
