#include "Install/Extractor.h"

#include "Install/DiskImageListing.h"
#include "Install/InstallError.h"
#include "Install/InstallTool.h"
#include "Install/PackageInfoReader.h"
#include "Install/Pbzx.h"
#include "Util/AtomicFile.h"
#include "Util/Log.h"
#include "Util/PathSafety.h"
#include "Util/Text.h"
#include "Util/Unicode.h"
#include "Util/Uuid.h"
#include "Verify/Signature/PackageSignature.h"

#include <algorithm>
#include <regex>
#include <sstream>

namespace ostrel {
namespace fs = std::filesystem;
namespace {

const std::string bsdtar = "/usr/bin/bsdtar";
const std::string zipinfo = "/usr/bin/zipinfo";
const std::string sevenZip = "/usr/bin/7zz";
const std::string cp = "/usr/bin/cp";
constexpr double attachLimit = 120;
constexpr double copyLimit = 300;
constexpr int imageSearchDepth = 3;
constexpr double expandLimit = 300;
constexpr double listLimit = 120;
constexpr int archiveSearchDepth = 7;
// A PackageInfo is a few hundred bytes; anything far larger is not one we read.
constexpr size_t maxPackageInfoBytes = 1 << 20;

// Expands an archive into an existing folder. bsdtar's defaults refuse ".."
// and absolute member paths and writing through links; owners are never
// taken from the archive.
void expand(const fs::path& archive, const fs::path& into) {
    InstallTool::check(bsdtar, {"-x", "--no-same-owner", "-f", archive.string(), "-C", into.string()}, expandLimit);
}

// The first run of digits of the first match, as a 64-bit number.
std::optional<int64_t> firstNumber(const std::string& text, const std::regex& pattern) {
    std::smatch match;
    if (!std::regex_search(text, match, pattern))
        return std::nullopt;
    std::string digits;
    for (const char c : match.str(0))
        if (c >= '0' && c <= '9')
            digits += c;
    try {
        size_t used = 0;
        const long long value = std::stoll(digits, &used);
        return used == digits.size() ? std::optional<int64_t>(value) : std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// bsdtar quietly strips a leading "/" and stops at ".."; we refuse such an
// archive outright, since no honest release has them.
void refuseEscapingMemberNames(const fs::path& archive) {
    const auto listing = InstallTool::check(bsdtar, {"-t", "-f", archive.string()}, listLimit);
    std::istringstream lines(Unicode::repairUtf8(listing.standardOutput));
    for (std::string name; std::getline(lines, name);) {
        const fs::path member(name);
        const bool upward =
            std::any_of(member.begin(), member.end(), [](const fs::path& part) { return part == ".."; });
        if (member.is_absolute() || upward)
            throw InstallError::unsafeArchive(name + " would land outside the archive");
    }
}

StagedBundle stage(const fs::path& bundle, const std::string& name, BundleKind kind, const fs::path& staging) {
    const fs::path folder = staging / newUuidString();
    fs::create_directories(folder);
    const fs::path destination = folder / name;
    fs::rename(bundle, destination);
    return {destination, kind};
}

// Removes a folder when the scope ends, whatever the outcome; failures are ignored.
struct RemoveOnExit {
    fs::path folder;
    ~RemoveOnExit() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

std::optional<std::string> installLocationOf(const fs::path& component) {
    const auto text = AtomicFile::read(component / "PackageInfo", maxPackageInfoBytes);
    PackageInfoReader reader;
    if (!text || !reader.parse(*text))
        return std::nullopt;
    return reader.installLocation();
}

} // namespace

Extraction Extractor::extract(const fs::path& artifact, ArtifactKind kind, const fs::path& work) const {
    const fs::path staging = work / "bundles";
    fs::create_directories(staging);
    switch (kind) {
    case ArtifactKind::pkg:
        return extractPackage(artifact, work, staging);
    case ArtifactKind::zip:
        return extractZip(artifact, work, staging);
    case ArtifactKind::dmg:
        return extractDiskImage(artifact, work, staging);
    }
    throw InstallError::unknownFormat();
}

Extraction Extractor::extractPackage(const fs::path& package, const fs::path& work, const fs::path& staging) const {
    checkPackageSignature(package);
    return expandPackage(package, work, staging);
}

Extraction Extractor::extractDiskImage(const fs::path& image, const fs::path& work, const fs::path& staging) const {
    if (!verifier.verifyContainerSignature(image) && requireSignedContainers)
        throw InstallError::untrustedContainer("the disk image is not signed");
    return copyFromDiskImage(image, work, staging);
}

void Extractor::checkPackageSignature(const fs::path& package) const {
    const auto facts = signature::checkPackageSignature(package, verifier.trust());
    if (!facts.isSigned) {
        if (requireSignedContainers)
            throw InstallError::untrustedContainer("the package is not signed");
        return;
    }
    const std::string team = "(" + verifier.policy().teamID + ")";
    const bool byOurInstallerIdentity =
        facts.leaf && facts.leaf->find("Developer ID Installer:") != std::string::npos && facts.leaf->ends_with(team);
    if (!facts.valid || !facts.issuedForDistribution || !byOurInstallerIdentity)
        throw InstallError::untrustedContainer("the package is not signed by Ostrel's Developer ID");
}

Extraction Extractor::extractZip(const fs::path& zip, const fs::path& work, const fs::path& staging) const {
    checkZipSize(zip);
    refuseEscapingMemberNames(zip);
    const fs::path unzipped = work / "unzipped";
    fs::create_directories(unzipped);
    expand(zip, unzipped);
    checkExpandedTree(unzipped);
    Extraction result;
    for (const auto& found : findBundles(unzipped, archiveSearchDepth))
        result.bundles.push_back(stage(found.url, found.url.filename().string(), found.kind, staging));
    return result;
}

void Extractor::expandArchive(const fs::path& archive, const fs::path& into) const {
    refuseEscapingMemberNames(archive);
    expand(archive, into);
    checkExpandedTree(into);
}

Extraction Extractor::expandPackage(const fs::path& package, const fs::path& work, const fs::path& staging) const {
    checkPackageSize(package, work);
    const fs::path expanded = work / "expanded";
    fs::create_directories(expanded);
    expand(package, expanded);
    const auto components = componentDirectories(expanded);
    for (const auto& component : components)
        expandPayload(component);
    checkExpandedTree(expanded);

    Extraction result;
    for (const auto& component : components) {
        if (fs::exists(fs::symlink_status(component / "Scripts")))
            result.notes.push_back("Skipped the installer scripts in " + component.filename().string() +
                                   "; the hub installs files only.");
        const fs::path payload = component / "Payload";
        if (!fs::is_directory(fs::symlink_status(payload)))
            continue;
        const auto location = installLocationOf(component);
        const std::string name = location ? fs::path(*location).filename().string() : "";
        const auto kind = bundleKindOf(name);
        if (location && isAcceptableBundleName(name) && kind) {
            result.bundles.push_back(stage(payload, name, *kind, staging));
            continue;
        }
        for (const auto& found : findBundles(payload, archiveSearchDepth))
            result.bundles.push_back(stage(found.url, found.url.filename().string(), found.kind, staging));
    }
    return result;
}

Extraction Extractor::copyFromDiskImage(const fs::path& image, const fs::path& work, const fs::path& staging) const {
    const fs::path mount = work / "mount";
    fs::create_directories(mount);
    // "Detaching" is removing the extracted volume, on every path out.
    RemoveOnExit detach{mount};
    const auto listing = InstallTool::check(sevenZip, {"l", "-slt", "-snld", image.string()}, attachLimit);
    const auto members = DiskImageListing::parse(Unicode::repairUtf8(listing.standardOutput));
    members.assertSafe();
    if (members.totalSize() > maxExpandedBytes)
        throw InstallError::tooLarge(members.totalSize());
    // -snld keeps links inside bundles; the listing proved none of them leaves the volume.
    InstallTool::check(sevenZip, {"x", "-snld", "-y", "-bd", "-o" + mount.string(), image.string()}, attachLimit);

    const auto found = findBundles(mount, imageSearchDepth);
    int64_t total = 0;
    for (const auto& bundle : found)
        total += PathSafety::treeSize(bundle.url);
    if (total > maxExpandedBytes)
        throw InstallError::tooLarge(total);
    Extraction result;
    for (const auto& bundle : found) {
        const fs::path folder = staging / newUuidString();
        fs::create_directories(folder);
        const fs::path destination = folder / bundle.url.filename();
        InstallTool::check(cp, {"-a", "--no-dereference", bundle.url.string(), destination.string()}, copyLimit);
        result.bundles.push_back({destination, bundle.kind});
    }
    checkExpandedTree(staging);
    return result;
}

void Extractor::expandPayload(const fs::path& component) const {
    const fs::path payload = component / "Payload";
    if (!fs::is_regular_file(fs::symlink_status(payload)))
        return;
    const fs::path contents = component / ".Payload.contents";
    fs::create_directories(contents);
    if (Pbzx::isPbzx(payload)) {
        const fs::path plain = component / ".Payload.cpio";
        Pbzx::decode(payload, plain, maxExpandedBytes);
        expand(plain, contents);
        fs::remove(plain);
    } else {
        // gzip, bzip2 and xz cpio archives: bsdtar recognises each by itself.
        expand(payload, contents);
    }
    fs::remove(payload);
    fs::rename(contents, payload);
}

void Extractor::checkExpandedTree(const fs::path& root) const {
    try {
        PathSafety::assertNoEscapingLinks(root);
    } catch (const PathSafety::EscapingLink& link) {
        Log::error(Log::Category::install, "refused " + root.string() + ": " + link.what());
        throw InstallError::unsafeArchive(link.what());
    }
    if (const int64_t size = PathSafety::treeSize(root); size > maxExpandedBytes)
        throw InstallError::tooLarge(size);
}

void Extractor::checkPackageSize(const fs::path& package, const fs::path& work) const {
    const fs::path flat = work / "flat";
    fs::create_directories(flat);
    // Only the archive's own layer: payloads stay packed.
    expand(package, flat);
    RemoveOnExit cleanup{flat};
    int64_t kilobytes = 0;
    for (const auto& component : componentDirectories(flat))
        if (__builtin_add_overflow(kilobytes, installKBytes(component / "PackageInfo"), &kilobytes))
            kilobytes = INT64_MAX;
    int64_t bytes = 0;
    if (__builtin_mul_overflow(kilobytes, int64_t{1024}, &bytes))
        bytes = INT64_MAX;
    if (bytes > maxExpandedBytes)
        throw InstallError::tooLarge(bytes);
}

void Extractor::checkZipSize(const fs::path& zip) const {
    const auto listing = InstallTool::check(zipinfo, {"-t", zip.string()}, listLimit);
    static const std::regex total(R"((\d+) bytes uncompressed)");
    const auto bytes = firstNumber(Unicode::repairUtf8(listing.standardOutput), total);
    if (!bytes)
        throw InstallError::unsafeArchive("the zip's size could not be read");
    if (*bytes > maxExpandedBytes)
        throw InstallError::tooLarge(*bytes);
}

std::vector<fs::path> Extractor::componentDirectories(const fs::path& root) {
    if (fs::exists(root / "PackageInfo"))
        return {root};
    std::vector<fs::path> components;
    std::error_code error;
    for (const auto& child : fs::directory_iterator(root, error))
        if (fs::exists(child.path() / "PackageInfo"))
            components.push_back(child.path());
    std::sort(components.begin(), components.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename().string() < b.filename().string(); });
    return components;
}

int64_t Extractor::installKBytes(const fs::path& packageInfo) {
    const auto text = AtomicFile::read(packageInfo, maxPackageInfoBytes);
    if (!text)
        return 0;
    static const std::regex declared(R"re(installKBytes="(\d+)")re");
    return firstNumber(*text, declared).value_or(0);
}

std::vector<Extractor::FoundBundle> Extractor::findBundles(const fs::path& root, int maxDepth) {
    std::vector<FoundBundle> found;
    std::error_code error;
    fs::recursive_directory_iterator walk(root, fs::directory_options::skip_permission_denied, error);
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
        const fs::directory_entry& entry = *walk;
        const int depth = walk.depth() + 1;
        std::error_code entryError;
        if (entry.is_symlink(entryError))
            continue;
        if (entry.path().filename() == "__MACOSX" || depth > maxDepth) {
            walk.disable_recursion_pending();
            continue;
        }
        if (!entry.is_directory(entryError))
            continue;
        const std::string name = entry.path().filename().string();
        const auto dot = name.rfind('.');
        const auto kind = dot == std::string::npos ? std::nullopt
                                                   : bundleKindFromRawValue(Text::asciiLowercase(name.substr(dot + 1)));
        if (!kind)
            continue;
        walk.disable_recursion_pending();
        if (isAcceptableBundleName(name))
            found.push_back({entry.path(), *kind});
    }
    std::sort(found.begin(), found.end(), [](const FoundBundle& a, const FoundBundle& b) {
        return a.url.filename().string() < b.url.filename().string();
    });
    return found;
}

} // namespace ostrel
