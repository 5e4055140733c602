#pragma once

#include <string>

namespace ostrel {

// Whose signatures are accepted and what must be notarised.
struct SignaturePolicy {
    std::string teamID;
    bool requireNotarizedApps = false;
    bool requireNotarizedPlugIns = false;

    // The built-in policy: Ostrel's team; apps must be notarised, plug-ins need not.
    static SignaturePolicy ostrel() { return {"K7QZ2M4XNB", true, false}; }

    // Apple's root, a Developer ID intermediate, a Developer ID Application
    // leaf, and the leaf's organisational unit equal to the team.
    std::string requirementText() const { return requirementPrefix() + teamID + "\""; }

    // The fixed text before the team (175 characters, ending in a quote).
    static std::string requirementPrefix() {
        return "anchor apple generic and certificate 1[field.1.2.840.113635.100.6.2.6] exists and certificate "
               "leaf[field.1.2.840.113635.100.6.1.13] exists and certificate leaf[subject.OU] = \"";
    }

    bool operator==(const SignaturePolicy&) const = default;
};

} // namespace ostrel
