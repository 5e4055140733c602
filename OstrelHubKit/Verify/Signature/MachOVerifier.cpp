#include "Verify/Signature/MachOVerifier.h"

#include "Util/Log.h"
#include "Verify/Signature/MachOSignature.h"
#include "Verify/Signature/SignatureDefect.h"
#include "Verify/Signature/SignatureFailure.h"

#include <algorithm>

namespace ostrel::signature {

namespace {

constexpr const char* developerIdApplicationMarker = "1.2.840.113635.100.6.1.13";

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

// The team the signature names: its CodeDirectory's, else (signatures older
// than team identifiers) the leaf's organisational unit; none for ad-hoc code.
std::optional<std::string> signingTeam(const SliceSignature& slice) {
    if (slice.teamID || slice.chain.empty())
        return slice.teamID;
    std::vector<std::string> units = slice.chain.front().subjectValues("OU");
    return units.size() == 1 ? std::optional(units.front()) : std::nullopt;
}

// Why a chain of the right team still fails the Developer ID rules.
std::string notDeveloperId(const SliceSignature& slice) {
    if (!slice.chain.empty() && slice.chain.front().hasExtension(developerIdApplicationMarker))
        return "the signing certificate was not issued by Apple's Developer ID authority";
    return "the signing certificate is not a Developer ID Application certificate";
}

} // namespace

CodeSignatureInfo checkedAs(const std::filesystem::path& code, const std::function<CodeSignatureInfo()>& check) {
    std::string name = code.filename().string();
    try {
        return check();
    } catch (const VerificationFailure&) {
        throw;
    } catch (const SignatureFailure& failure) {
        if (failure.kind() == SignatureFailure::Kind::notSigned)
            throw VerificationFailure::unsigned_(name);
        throw VerificationFailure::invalidSignature(name, failure.detail());
    } catch (const SignatureDefect& defect) {
        throw VerificationFailure::invalidSignature(name, defect.detail());
    } catch (const std::exception& error) {
        throw internalFailure(code, error);
    }
}

VerificationFailure internalFailure(const std::filesystem::path& code, const std::exception& error) {
    Log::error(Log::Category::verify, "checking " + code.string() + " stopped on an internal error: " + error.what());
    return VerificationFailure::invalidSignature(code.filename().string(), "the check could not be completed");
}

Requirement policyRequirement(const SignaturePolicy& policy, const std::string& name) {
    try {
        return parseRequirement(policy.requirementText());
    } catch (const SignatureFailure&) {
        throw VerificationFailure::invalidSignature(name, "bad requirement");
    }
}

void requirePublisher(const CodeSignatureInfo& info, const SignaturePolicy& policy, const std::string& name) {
    Requirement requirement = policyRequirement(policy, name);
    if (info.slices.empty())
        throw VerificationFailure::wrongPublisher(name, std::nullopt);
    auto failing = std::find_if(info.slices.begin(), info.slices.end(), [&](const SliceSignature& slice) {
        return !evaluate(requirement, slice.requirementContext());
    });
    if (failing == info.slices.end())
        return;
    std::optional<std::string> team = signingTeam(*failing);
    if (!team || (failing->adhoc && *team == policy.teamID))
        throw VerificationFailure::wrongPublisher(name, std::nullopt);
    if (*team != policy.teamID)
        throw VerificationFailure::wrongPublisher(name, team);
    throw VerificationFailure::invalidSignature(name, notDeveloperId(*failing));
}

VerifiedCode verifiedCode(const std::filesystem::path& code, const CodeSignatureInfo& info,
                          const SignaturePolicy& policy) {
    VerifiedCode result;
    result.path = code.string();
    result.identifier = info.identifier.empty() ? code.filename().string() : info.identifier;
    result.teamID = info.teamID.value_or(policy.teamID);
    for (const SliceSignature& slice : info.slices)
        result.cdhashes.push_back({slice.architecture, slice.cdhash});
    return result;
}

VerifiedCode verifyMachOCode(const std::filesystem::path& file, const SignaturePolicy& policy,
                             const TrustSettings& trust) {
    CodeSignatureInfo info = checkedAs(file, [&] {
        CodeSignatureInfo checked = checkMachOSignature(file, trust);
        for (const SliceSignature& slice : checked.slices)
            checkSealedComponents(slice);
        return checked;
    });
    requirePublisher(info, policy, file.filename().string());
    return verifiedCode(file, info, policy);
}

} // namespace ostrel::signature
