#include "Verify/Signature/MachOVerifier.h"

#include "Verify/Signature/MachOSignature.h"
#include "Verify/Signature/SignatureFailure.h"
#include "Verify/VerificationFailure.h"

namespace ostrel::signature {

namespace {

// A bare file has no bundle around it: the only sealed component it can
// have outside its signature is an Info.plist embedded in its own text.
void checkSealedComponents(const SliceSignature& slice) {
    if (!slice.resourcesHashes.empty())
        throw SignatureFailure::invalid("the signature seals resources that are missing");
    if (slice.infoPlistHashes.empty())
        return;
    if (!slice.embeddedInfoPlist)
        throw SignatureFailure::invalid("the signature seals an Info.plist the " + slice.architecture +
                                        " slice does not have");
    for (const auto& [type, hash] : slice.infoPlistHashes)
        if (digest(type, *slice.embeddedInfoPlist) != hash)
            throw SignatureFailure::invalid("the embedded Info.plist of the " + slice.architecture +
                                            " slice does not match its hash");
}

CodeSignatureInfo checkValidity(const std::filesystem::path& file, const std::string& name,
                                const TrustSettings& trust) {
    try {
        CodeSignatureInfo info = checkMachOSignature(file, trust);
        for (const SliceSignature& slice : info.slices)
            checkSealedComponents(slice);
        return info;
    } catch (const SignatureFailure& failure) {
        if (failure.kind() == SignatureFailure::Kind::notSigned)
            throw VerificationFailure::unsigned_(name);
        throw VerificationFailure::invalidSignature(name, failure.detail());
    }
}

Requirement policyRequirement(const SignaturePolicy& policy, const std::string& name) {
    try {
        return parseRequirement(policy.requirementText());
    } catch (const SignatureFailure&) {
        throw VerificationFailure::invalidSignature(name, "bad requirement");
    }
}

} // namespace

VerifiedCode verifyMachOCode(const std::filesystem::path& file, const SignaturePolicy& policy,
                             const TrustSettings& trust) {
    std::string name = file.filename().string();
    CodeSignatureInfo info = checkValidity(file, name, trust);
    Requirement requirement = policyRequirement(policy, name);
    if (!info.satisfies(requirement))
        throw VerificationFailure::wrongPublisher(name, info.teamID);
    VerifiedCode code;
    code.path = file.string();
    code.identifier = info.identifier.empty() ? name : info.identifier;
    code.teamID = info.teamID.value_or(policy.teamID);
    return code;
}

} // namespace ostrel::signature
