#pragma once

#include "Verify/Signature/BundleLayout.h"
#include "Verify/Signature/CodeResources.h"
#include "Verify/Signature/SealReport.h"

#include <filesystem>
#include <optional>

namespace ostrel {

// Compares a bundle's files with its resource seal. The tree is walked without
// following links; every link is also checked to stay inside
// `containmentRoot` (the outermost bundle being verified; the bundle's own root
// when absent), resolved from the tree's own entries.
//
// Not covered here, because the CodeDirectory seals them: the main executable,
// the Info.plist (checked here only when the seal lists it) and the
// CodeResources file itself, whose bytes the caller must compare with the
// CodeDirectory's resource slot before trusting this result.
class ResourceSealCheck {
public:
    // Folders deeper than this below the contents folder are refused.
    static constexpr int maxDepth = 64;

    // Throws SignatureDefect for a seal in the obsolete version 1 form or a
    // tree nested too deeply; every other difference is reported.
    static SealReport run(const BundleLayout& layout, const CodeResources& seal,
                          const std::optional<std::filesystem::path>& containmentRoot = std::nullopt);
};

} // namespace ostrel
