#pragma once

#include "Verify/Signature/CmsSignature.h"
#include "Verify/Signature/Requirement.h"
#include "Verify/Signature/RequirementContext.h"

#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::signature {

// The checked signature of one architecture.
struct SliceSignature {
    std::string architecture;
    uint32_t cpuType = 0;
    uint32_t cpuSubtype = 0;
    std::string identifier;
    std::optional<std::string> teamID;
    uint32_t flags = 0;
    bool adhoc = false;
    std::vector<CodeDirectoryHash> codeDirectories; // every CodeDirectory, primary first
    Bytes cdhash;                                   // 20-byte cdhash of the strongest CodeDirectory
    // Sealed hashes of components kept outside the file, per hash type, for
    // the bundle checker: Info.plist (special slot 1) and CodeResources (3).
    std::map<HashType, Bytes> infoPlistHashes;
    std::map<HashType, Bytes> resourcesHashes;
    // A bare tool's Info.plist (section __TEXT,__info_plist), when it has one.
    std::optional<Bytes> embeddedInfoPlist;
    std::optional<Requirement> designatedRequirement;
    CertificateChain chain;                 // empty when ad hoc
    std::optional<std::time_t> timestamp{}; // verified signing time, when time-stamped
    bool anchorIsAppleRoot = false;

    RequirementContext requirementContext() const;
};

// The checked signature of a Mach-O file, every architecture valid.
struct CodeSignatureInfo {
    std::string identifier;
    std::optional<std::string> teamID;
    bool adhoc = false;
    std::vector<SliceSignature> slices;

    // True when every architecture satisfies the requirement.
    bool satisfies(const Requirement& requirement) const;
};

} // namespace ostrel::signature
