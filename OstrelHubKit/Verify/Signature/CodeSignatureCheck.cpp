#include "Verify/Signature/CodeSignatureCheck.h"

#include "Verify/Signature/CodeDirectory.h"
#include "Verify/Signature/SignatureFailure.h"

#include <algorithm>

namespace ostrel::signature {

namespace {

// SHA-256 of Apple Root CA, the anchor of Apple's own code ("anchor apple").
constexpr uint8_t appleRootFingerprint[32] = {0xB0, 0xB1, 0x73, 0x0E, 0xCB, 0xC7, 0xFF, 0x45, 0x05, 0x14, 0x2C,
                                              0x49, 0xF1, 0x29, 0x5E, 0x6E, 0xDA, 0x6B, 0xCA, 0xED, 0x7E, 0x2C,
                                              0x68, 0xC5, 0xBE, 0x91, 0xB5, 0xA1, 0x10, 0x01, 0xF0, 0x24};

[[noreturn]] void refuse(const std::string& detail) {
    throw SignatureFailure::invalid(detail);
}

struct SealedComponent {
    uint32_t slot;
    uint32_t blobSlot;
    const char* name;
};
// Components stored inside the signature and hashed into special slots.
constexpr SealedComponent embeddedComponents[] = {
    {specialSlot::requirements, slot::requirements, "requirements"},
    {specialSlot::entitlements, slot::entitlements, "entitlements"},
    {specialSlot::entitlementsDer, slot::entitlementsDer, "entitlements"},
};

std::vector<CodeDirectory> readCodeDirectories(const SuperBlob& blobs, const std::string& subject) {
    std::vector<CodeDirectory> cds;
    for (const Blob& blob : blobs.blobs()) {
        bool isCd = blob.slot == slot::codeDirectory ||
                    (blob.slot >= slot::alternateCodeDirectories && blob.slot < slot::alternateCodeDirectoryLimit);
        if (isCd)
            cds.push_back(CodeDirectory::parse(blob.bytes));
    }
    if (blobs.find(slot::codeDirectory) == nullptr)
        refuse("the signature of " + subject + " has no code directory");
    // The primary comes first whatever the index order.
    std::stable_partition(cds.begin(), cds.end(), [&](const CodeDirectory& cd) {
        return cd.bytes().data() == blobs.find(slot::codeDirectory)->bytes.data();
    });
    for (size_t i = 0; i < cds.size(); ++i)
        for (size_t j = i + 1; j < cds.size(); ++j)
            if (cds[i].hashType() == cds[j].hashType())
                refuse(subject + " has two code directories of the same kind");
    return cds;
}

void checkCodeDirectory(const CodeDirectory& cd, const CodeDirectory& primary, std::span<const uint8_t> code,
                        const SuperBlob& blobs, const std::string& subject, const BlockReader& read) {
    if (cd.identifier() != primary.identifier() || cd.teamID() != primary.teamID() || cd.flags() != primary.flags())
        refuse("the code directories of " + subject + " disagree");
    // A shorter limit would leave bytes unhashed; in a Mach-O file a longer
    // one would hash the signature itself.
    if (cd.codeLimit() != code.size())
        refuse("the code directory of " + subject + " does not cover all its code");
    if (auto page = cd.firstMismatchedPage(code, read))
        refuse("code page " + std::to_string(*page) + " of " + subject + " does not match its hash");
    for (const SealedComponent& component : embeddedComponents) {
        auto sealed = cd.specialSlot(component.slot);
        const Blob* blob = blobs.find(component.blobSlot);
        if (sealed && (blob == nullptr || digest(cd.hashType(), blob->bytes) != *sealed))
            refuse("the " + std::string(component.name) + " of " + subject + " do not match their hash");
    }
}

void checkTeam(const CodeDirectory& cd, const CertificateChain& chain) {
    if (!cd.teamID())
        return;
    std::vector<std::string> units = chain.front().subjectValues("OU");
    if (units.size() != 1 || units.front() != *cd.teamID())
        refuse("the signature's team identifier does not match its certificate");
}

void attachSignature(SliceSignature& out, const SuperBlob& blobs, const CodeDirectory& primary,
                     const std::string& subject, const TrustSettings& trust) {
    const Blob* wrapper = blobs.find(slot::cmsSignature);
    if (wrapper != nullptr && wrapper->magic != blobMagic::wrapper)
        refuse("the signature of " + subject + " is malformed");
    std::span<const uint8_t> cms = wrapper == nullptr ? std::span<const uint8_t>() : wrapper->bytes.subspan(8);
    if (primary.isAdhoc()) {
        // Ad-hoc code has no signer; a CMS next to the flag is contradictory.
        if (!cms.empty())
            refuse("the ad-hoc signature of " + subject + " also carries a signer");
        return;
    }
    if (cms.empty())
        refuse("the code directory of " + subject + " is not signed");
    // The chain is validated at the time stamp's time, else now. An expired
    // leaf without a time stamp is refused: stricter than Apple, which only
    // enforces expiry for code flagged "expires", but without a trusted time
    // nothing shows the signature was made while the certificate was valid.
    SignerEvidence evidence = verifyCmsSignature(cms, primary.bytes(), out.codeDirectories, trust, eku::codeSigning);
    checkTeam(primary, evidence.chain);
    out.chain = std::move(evidence.chain);
    out.timestamp = evidence.timestamp;
    Bytes anchor = out.chain.back().sha256();
    out.anchorIsAppleRoot = std::equal(anchor.begin(), anchor.end(), std::begin(appleRootFingerprint));
}

} // namespace

SliceSignature checkCodeSignature(const SuperBlob& blobs, std::span<const uint8_t> code, const std::string& subject,
                                  const TrustSettings& trust, const BlockReader& read) {
    std::vector<CodeDirectory> cds = readCodeDirectories(blobs, subject);
    const CodeDirectory& primary = cds.front();
    SliceSignature out;
    out.identifier = primary.identifier();
    out.teamID = primary.teamID();
    out.flags = primary.flags();
    out.adhoc = primary.isAdhoc();
    const CodeDirectory* strongest = &primary;
    for (const CodeDirectory& cd : cds) {
        checkCodeDirectory(cd, primary, code, blobs, subject, read);
        out.codeDirectories.push_back(codeDirectoryHash(cd.hashType(), cd.bytes()));
        if (auto hash = cd.specialSlot(specialSlot::infoPlist))
            out.infoPlistHashes[cd.hashType()] = *hash;
        if (auto hash = cd.specialSlot(specialSlot::resources))
            out.resourcesHashes[cd.hashType()] = *hash;
        if (hashStrength(cd.hashType()) > hashStrength(strongest->hashType()))
            strongest = &cd;
    }
    out.cdhash = strongest->cdhash20();
    // An unsealed requirement set is ignored, never trusted.
    if (primary.specialSlot(specialSlot::requirements))
        out.designatedRequirement = decodeDesignatedRequirement(blobs.find(slot::requirements)->bytes);
    attachSignature(out, blobs, primary, subject, trust);
    return out;
}

RequirementContext SliceSignature::requirementContext() const {
    RequirementContext context;
    context.chain = chain;
    context.anchorTrusted = !chain.empty();
    context.anchorIsAppleRoot = anchorIsAppleRoot;
    context.identifier = identifier;
    for (const CodeDirectoryHash& cd : codeDirectories)
        context.cdhashes.push_back(cd.cdhash20);
    return context;
}

bool CodeSignatureInfo::satisfies(const Requirement& requirement) const {
    return !slices.empty() && std::all_of(slices.begin(), slices.end(), [&](const SliceSignature& slice) {
        return evaluate(requirement, slice.requirementContext());
    });
}

} // namespace ostrel::signature
