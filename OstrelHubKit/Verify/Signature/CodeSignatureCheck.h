#pragma once

#include "Verify/Signature/CodeDirectory.h"
#include "Verify/Signature/CodeSignatureInfo.h"
#include "Verify/Signature/SuperBlob.h"
#include "Verify/Signature/TrustSettings.h"

#include <span>
#include <string>

namespace ostrel::signature {

// Checks one code signature, whatever holds it: every CodeDirectory over
// `code` (which its code limit must cover exactly, page by page), the
// components sealed in special slots, and the CMS signature with its chain
// and team. The components come from an embedded SuperBlob, or, for code
// without a Mach-O, from the files of _CodeSignature/ gathered into one
// (the CMS then wrapped in a 0xFADE0B01 blob). `subject` names the code in
// failure details ("the arm64 slice"). `read` brings the code in for hashing
// (see BlockReader). Architecture fields stay empty.
SliceSignature checkCodeSignature(const SuperBlob& components, std::span<const uint8_t> code,
                                  const std::string& subject, const TrustSettings& trust, const BlockReader& read = {});

} // namespace ostrel::signature
