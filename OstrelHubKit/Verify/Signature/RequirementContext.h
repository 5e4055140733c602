#pragma once

#include "Verify/Signature/Certificate.h"
#include "Verify/Signature/Requirement.h"

#include <string>
#include <vector>

namespace ostrel::signature {

// What a requirement is evaluated against: facts about one validated code
// signature, independent of where the code came from (Mach-O slice, bundle,
// disk image).
struct RequirementContext {
    CertificateChain chain{};       // validated, leaf first; empty for ad-hoc code
    bool anchorTrusted = false;     // the chain ends in one of the injected anchors
    bool anchorIsAppleRoot = false; // ... and that anchor is Apple Root CA itself
    std::string identifier{};
    std::vector<Bytes> cdhashes{}; // 20-byte cdhash of every CodeDirectory
    bool notarized = false;
};

bool evaluate(const Requirement& requirement, const RequirementContext& context);

} // namespace ostrel::signature
