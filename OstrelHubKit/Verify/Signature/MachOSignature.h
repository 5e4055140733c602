#pragma once

#include "Verify/Signature/CodeDirectory.h"
#include "Verify/Signature/CodeSignatureInfo.h"
#include "Verify/Signature/TrustSettings.h"

#include <filesystem>
#include <span>

namespace ostrel::signature {

// Checks the embedded signature of every architecture of a Mach-O file:
// structure, every CodeDirectory and every code page, sealed components, the
// CMS signature with its time stamp and chain to the trust anchors, and the
// team identifier against the leaf. Ad-hoc signatures pass here (they carry
// no identity; requirements refuse them). Throws SignatureFailure:
// notSigned when no architecture is signed, invalid with a short detail
// otherwise.
// `read` brings code pages in for hashing (see BlockReader); the path form
// reads them from the file.
CodeSignatureInfo checkMachOSignature(std::span<const uint8_t> file, const TrustSettings& trust,
                                      const BlockReader& read = {});
CodeSignatureInfo checkMachOSignature(const std::filesystem::path& file, const TrustSettings& trust);

} // namespace ostrel::signature
