#include "Verify/CodeVerifier.h"

#include "Util/Log.h"
#include "Verify/Signature/BigEndianBytes.h"
#include "Verify/Signature/BundleLayout.h"
#include "Verify/Signature/CodeDirectory.h"
#include "Verify/Signature/CodeResources.h"
#include "Verify/Signature/CodeSignatureCheck.h"
#include "Verify/Signature/DiskImageSignature.h"
#include "Verify/Signature/FileBytes.h"
#include "Verify/Signature/MachOSignature.h"
#include "Verify/Signature/MachOVerifier.h"
#include "Verify/Signature/MappedFile.h"
#include "Verify/Signature/NotaryTicket.h"
#include "Verify/Signature/PropertyList.h"
#include "Verify/Signature/ResourceSealCheck.h"
#include "Verify/Signature/SignatureDefect.h"
#include "Verify/Signature/SignatureFailure.h"
#include "Verify/VerificationFailure.h"

#include <algorithm>
#include <set>

#include <sys/stat.h>

namespace ostrel {

namespace fs = std::filesystem;
using namespace signature;

namespace {

// Bundles inside bundles deeper than this are refused: nothing we ship nests
// more than a few levels, and each level is checked recursively.
constexpr int maxNestingDepth = 8;

[[noreturn]] void refuse(const std::string& detail) {
    throw SignatureFailure::invalid(detail);
}

bool isFolder(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Every hash type the signature sealed a component with must match its bytes.
void checkSealedBytes(const std::map<HashType, Bytes>& sealed, std::span<const uint8_t> bytes,
                      const std::string& shown) {
    for (const auto& [type, hash] : sealed)
        if (digest(type, bytes) != hash)
            refuse(shown + " does not match its sealed hash");
}

// A codeless bundle keeps its signature as files in _CodeSignature/; the
// CodeDirectory covers no code, only the sealed Info.plist and resources.
CodeSignatureInfo checkCodelessSignature(const BundleLayout& layout, const TrustSettings& trust,
                                         std::set<std::string>& used) {
    std::vector<uint32_t> slots = {slot::codeDirectory, slot::requirements, slot::entitlements, slot::entitlementsDer,
                                   slot::cmsSignature};
    for (uint32_t alternate = slot::alternateCodeDirectories; alternate < slot::alternateCodeDirectoryLimit;
         ++alternate)
        slots.push_back(alternate);
    std::vector<std::vector<uint8_t>> stored;
    std::vector<uint32_t> present;
    for (uint32_t number : slots)
        if (auto bytes = layout.readCodelessComponent(number)) {
            stored.push_back(std::move(*bytes));
            present.push_back(number);
            used.insert(BundleLayout::codelessComponentName(number));
        }
    if (present.empty() || present.front() != slot::codeDirectory)
        throw SignatureFailure::notSigned();
    std::vector<Blob> components;
    for (size_t i = 0; i < stored.size(); ++i)
        components.push_back({present[i], BigEndianBytes::u32(stored[i], 0).value_or(0), stored[i]});
    SliceSignature slice =
        checkCodeSignature(SuperBlob::fromComponents(std::move(components)), {}, "the bundle's signature", trust);
    return {slice.identifier, slice.teamID, slice.adhoc, {slice}};
}

CodeSignatureInfo checkMainSignature(const BundleLayout& layout, const TrustSettings& trust,
                                     std::set<std::string>& used) {
    if (layout.codeless())
        return checkCodelessSignature(layout, trust, used);
    // Refuses a link anywhere on the way, and maps the very file it opened.
    MappedFile mapped(layout.openMainExecutable());
    return checkMachOSignature(mapped.bytes(), trust, mapped.blockReader());
}

class BundleCheck {
public:
    BundleCheck(const TrustSettings& trust, const fs::path& containmentRoot)
        : trust_(trust), containmentRoot_(containmentRoot) {}

    // The bundle's whole signature: its code, its sealed Info.plist and
    // resources, and every nested code item.
    CodeSignatureInfo run(const fs::path& bundle, int depth) const {
        auto [info, nested] = checkOwn(bundle);
        for (const NestedCode& item : nested)
            checkNested(item, depth);
        return info;
    }

private:
    struct OwnSignature {
        CodeSignatureInfo info;
        std::vector<NestedCode> nested;
    };

    // Everything but the nested code, which the caller checks after.
    OwnSignature checkOwn(const fs::path& bundle) const {
        BundleLayout layout = BundleLayout::read(bundle);
        std::set<std::string> used = {"CodeResources"};
        CodeSignatureInfo info = checkMainSignature(layout, trust_, used);
        for (const SliceSignature& slice : info.slices)
            checkInfoPlist(layout, slice);
        CodeResources seal = checkResourceSlot(layout, info.slices);
        if (auto extra = layout.unexpectedSignatureFiles(used); !extra.empty())
            refuse(extra.front() + " is not part of the signature");
        SealReport report = ResourceSealCheck::run(layout, seal, containmentRoot_);
        if (auto detail = report.firstDetail())
            refuse(*detail);
        return {std::move(info), std::move(report.nested)};
    }

    static void checkInfoPlist(const BundleLayout& layout, const SliceSignature& slice) {
        std::string shown = layout.shown(layout.infoPlistKey());
        if (slice.infoPlistHashes.empty())
            refuse("the signature does not seal " + shown);
        UniqueFd fd = layout.openPart(fs::path(shown));
        checkSealedBytes(slice.infoPlistHashes, FileBytes::readCapped(fd.get(), PropertyList::maxFileBytes, shown),
                         shown);
    }

    // The CodeResources bytes are compared with every slice's slot before they
    // are parsed: the seal's rules are regular expressions we then run.
    static CodeResources checkResourceSlot(const BundleLayout& layout, const std::vector<SliceSignature>& slices) {
        std::string shown = layout.shown("_CodeSignature/CodeResources");
        if (std::any_of(slices.begin(), slices.end(),
                        [](const SliceSignature& s) { return s.resourcesHashes.empty(); }))
            refuse("the signature does not seal the bundle's resources");
        std::vector<uint8_t> bytes = layout.readCodeResources();
        for (const SliceSignature& slice : slices)
            checkSealedBytes(slice.resourcesHashes, bytes, shown);
        return CodeResources::parse(bytes, shown);
    }

    // Nested code is named by its path in the outermost bundle, however deep.
    void checkNested(const NestedCode& nested, int depth) const {
        std::string shown = nested.location.lexically_relative(containmentRoot_).generic_string();
        if (depth >= maxNestingDepth)
            refuse("nested code is nested too deeply at " + shown);
        OwnSignature own;
        try {
            if (isFolder(nested.location))
                own = checkOwn(nested.location);
            else
                own.info = checkMachOSignature(nested.location, trust_);
        } catch (const SignatureFailure& failure) {
            if (failure.kind() == SignatureFailure::Kind::notSigned)
                refuse("nested code is not signed: " + shown);
            refuse("nested code " + shown + ": " + failure.detail());
        } catch (const SignatureDefect& defect) {
            refuse("nested code " + shown + ": " + defect.detail());
        }
        bool satisfied = false;
        try {
            satisfied = own.info.satisfies(parseRequirement(nested.requirement));
        } catch (const SignatureFailure&) {
            refuse("the sealed requirement of " + shown + " cannot be read");
        }
        if (!satisfied)
            refuse("nested code does not satisfy its sealed requirement: " + shown);
        for (const NestedCode& inner : own.nested)
            checkNested(inner, depth + 1);
    }

    const TrustSettings& trust_;
    fs::path containmentRoot_;
};

// Only presence can be judged offline: the ticket's own signature is
// undocumented and whether Apple revoked it needs Apple's servers, so a
// listed cdhash for every architecture is all "notarised" means here.
bool ticketListsEverySlice(const fs::path& bundle, const CodeSignatureInfo& info) {
    std::optional<NotaryTicket> ticket = NotaryTicket::fromBundle(BundleLayout::read(bundle));
    return ticket && !info.slices.empty() &&
           std::all_of(info.slices.begin(), info.slices.end(),
                       [&](const SliceSignature& slice) { return ticket->lists(slice.cdhash); });
}

// The image's CodeDirectory covers exactly the bytes before the signature
// (the shared check compares its limit and every page) and seals the trailer,
// with its signature length zeroed, in the rep-specific slot.
SliceSignature checkImageSignature(const fs::path& file, const DiskImageSignature& image, const TrustSettings& trust) {
    SuperBlob blobs = SuperBlob::parse(image.superBlob());
    const Blob* cdBlob = blobs.find(slot::codeDirectory);
    if (cdBlob == nullptr)
        refuse("the disk image's signature has no code directory");
    CodeDirectory cd = CodeDirectory::parse(cdBlob->bytes);
    if (cd.specialSlot(slot::repSpecific) != digest(cd.hashType(), image.trailer().withCodeSignatureLengthZeroed()))
        refuse("the disk image's trailer does not match its hash");
    MappedFile mapped(file);
    return checkCodeSignature(blobs, mapped.bytes().first(image.signatureOffset()), "the disk image", trust,
                              mapped.blockReader());
}

} // namespace

CodeVerifier::CodeVerifier(SignaturePolicy policy, TrustSettings trust)
    : policy_(std::move(policy)), trust_(std::move(trust)) {}

VerifiedCode CodeVerifier::verify(const fs::path& bundle) const {
    if (!isFolder(bundle))
        return verifyMachOCode(bundle, policy_, trust_);
    CodeSignatureInfo info = checkedAs(bundle, [&] { return BundleCheck(trust_, bundle).run(bundle, 0); });
    requirePublisher(info, policy_, bundle.filename().string());
    VerifiedCode code = verifiedCode(bundle, info, policy_);
    code.version = bundleVersion(bundle);
    try {
        code.notarized = ticketListsEverySlice(bundle, info);
    } catch (const std::exception& error) {
        Log::warning(Log::Category::verify, "the ticket of " + bundle.string() + " is unreadable: " + error.what());
        code.notarized = false; // an unreadable ticket notarises nothing
    }
    return code;
}

bool CodeVerifier::isNotarized(const fs::path& bundle) const {
    try {
        BundleLayout layout = BundleLayout::read(bundle);
        std::set<std::string> used;
        return ticketListsEverySlice(bundle, checkMainSignature(layout, trust_, used));
    } catch (const std::exception&) {
        return false; // whatever stops the check, nothing shows the code is notarised
    }
}

bool CodeVerifier::verifyContainerSignature(const fs::path& container) const {
    std::string name = container.filename().string();
    Requirement requirement = policyRequirement(policy_, name);
    try {
        std::optional<DiskImageSignature> image = DiskImageSignature::read(container);
        if (!image)
            return false;
        SliceSignature slice = checkImageSignature(container, *image, trust_);
        if (evaluate(requirement, slice.requirementContext()))
            return true;
        Log::error(Log::Category::verify, container.string() + " is not signed by the policy's Developer ID");
    } catch (const std::exception& error) {
        Log::error(Log::Category::verify, "the signature of " + container.string() + " was refused: " + error.what());
    }
    throw VerificationFailure::wrongPublisher(name, std::nullopt);
}

} // namespace ostrel
