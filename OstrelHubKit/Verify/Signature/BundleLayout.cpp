#include "Verify/Signature/BundleLayout.h"

#include "Verify/Signature/FileBytes.h"
#include "Verify/Signature/LinkContainment.h"
#include "Verify/Signature/PropertyList.h"
#include "Verify/Signature/SealReport.h"
#include "Verify/Signature/SignatureDefect.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

bool isRealDirectory(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isLink(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The version folder a framework's Versions/Current link names; absent when
// there is no such link (the bundle is not a framework). The link must name
// a sibling folder: one that leaves the bundle, or leads anywhere else, is
// refused for what it is rather than read as another shape.
std::optional<std::string> currentVersion(const fs::path& bundle) {
    const fs::path link = bundle / "Versions" / "Current";
    if (!isLink(link))
        return std::nullopt;
    if (auto issue = SealIssue::forLink(resolveLinkInside(bundle, "Versions/Current"), "Versions/Current"))
        throw SignatureDefect(issue->detail());
    std::array<char, 256> buffer{};
    ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size());
    std::string target(buffer.data(), n > 0 ? static_cast<size_t>(n) : 0);
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size() || target.find('/') != std::string::npos || target == "." ||
        target == ".." || !isRealDirectory(bundle / "Versions" / target))
        throw SignatureDefect("Versions/Current link does not name a version folder");
    return target;
}

std::optional<std::string> versionOf(plist_t dict) {
    if (auto v = PropertyList::text(PropertyList::member(dict, "CFBundleVersion")))
        return v;
    return PropertyList::text(PropertyList::member(dict, "CFBundleShortVersionString"));
}

std::optional<std::string> executableOf(plist_t dict, const std::string& shownPlist) {
    plist_t node = PropertyList::member(dict, "CFBundleExecutable");
    if (node == nullptr)
        return std::nullopt;
    auto name = PropertyList::text(node);
    if (!name)
        throw SignatureDefect("CFBundleExecutable in " + shownPlist + " is not text");
    if (name->empty() || *name == "." || *name == ".." || name->find('/') != std::string::npos ||
        name->find('\0') != std::string::npos)
        throw SignatureDefect("the main executable name \"" + *name + "\" in " + shownPlist +
                              " is not a plain file name");
    return name;
}

} // namespace

BundleLayout BundleLayout::read(const fs::path& bundle) {
    BundleLayout layout;
    layout.root = bundle;
    if (isRealDirectory(bundle / "Contents")) {
        layout.shape = Shape::deep;
        layout.contentsFolder = "Contents";
    } else if (auto current = currentVersion(bundle)) {
        layout.shape = Shape::framework;
        layout.contentsFolder = fs::path("Versions") / *current;
    } else {
        layout.shape = Shape::shallow;
    }
    std::string shownPlist = layout.shown(layout.infoPlistKey());
    UniqueFd fd = layout.openPart(layout.contentsFolder / layout.infoPlistKey());
    PropertyList info =
        PropertyList::parse(FileBytes::readCapped(fd.get(), PropertyList::maxFileBytes, shownPlist), shownPlist);
    if (!info.isDictionary())
        throw SignatureDefect(shownPlist + " is not a dictionary");
    layout.executableName = executableOf(info.root(), shownPlist);
    layout.identifier = PropertyList::text(PropertyList::member(info.root(), "CFBundleIdentifier"));
    layout.version = versionOf(info.root());
    return layout;
}

fs::path BundleLayout::infoPlist() const {
    return contents() / infoPlistKey();
}

std::string BundleLayout::infoPlistKey() const {
    return shape == Shape::framework ? "Resources/Info.plist" : "Info.plist";
}

std::optional<fs::path> BundleLayout::mainExecutable() const {
    if (auto key = mainExecutableKey())
        return contents() / *key;
    return std::nullopt;
}

std::optional<std::string> BundleLayout::mainExecutableKey() const {
    if (!executableName)
        return std::nullopt;
    return shape == Shape::deep ? "MacOS/" + *executableName : *executableName;
}

UniqueFd BundleLayout::openPart(const fs::path& relative) const {
    return FileBytes::openBeneath(root, relative, relative.generic_string());
}

std::vector<uint8_t> BundleLayout::readCodeResources() const {
    fs::path relative = contentsFolder / "_CodeSignature" / "CodeResources";
    UniqueFd fd = openPart(relative);
    return FileBytes::readCapped(fd.get(), PropertyList::maxFileBytes, relative.generic_string());
}

UniqueFd BundleLayout::openMainExecutable() const {
    auto key = mainExecutableKey();
    if (!key)
        throw SignatureDefect("the bundle has no main executable");
    return openPart(contentsFolder / *key);
}

std::vector<std::string> BundleLayout::unexpectedSignatureFiles(const std::set<std::string>& used) const {
    std::vector<std::string> extra;
    struct stat st {};
    if (::lstat(signatureFolder().c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
        return {shown("_CodeSignature")}; // a link or file in place of the folder
    std::error_code error;
    for (fs::directory_iterator it(signatureFolder(), error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        if (!used.contains(name) || !it->is_regular_file(error) || it->is_symlink(error))
            extra.push_back(shown("_CodeSignature/" + name));
    }
    std::sort(extra.begin(), extra.end());
    return extra;
}

std::string BundleLayout::shown(const std::string& sealKey) const {
    if (contentsFolder.empty())
        return sealKey;
    return (contentsFolder / sealKey).generic_string();
}

std::string BundleLayout::codelessComponentName(uint32_t slot) {
    switch (slot) {
    case 0:
        return "CodeDirectory";
    case 2:
        return "CodeRequirements";
    case 3:
        return "CodeResources";
    case 5:
        return "CodeEntitlements";
    case 6:
        return "CodeRepSpecific";
    case 7:
        return "CodeEntitlementDER";
    case 0x10000:
        return "CodeSignature";
    default:
        break;
    }
    // Alternate CodeDirectories carry this odd name in codesign's own output.
    if (slot >= 0x1000 && slot <= 0x1004)
        return "CodeRequirements-" + std::to_string(slot - 0x1000 + 1);
    return {};
}

std::optional<std::vector<uint8_t>> BundleLayout::readCodelessComponent(uint32_t slot) const {
    std::string name = codelessComponentName(slot);
    if (name.empty())
        return std::nullopt;
    struct stat st {};
    if (::lstat((signatureFolder() / name).c_str(), &st) != 0 && errno == ENOENT)
        return std::nullopt;
    fs::path relative = contentsFolder / "_CodeSignature" / name;
    UniqueFd fd = openPart(relative);
    return FileBytes::readCapped(fd.get(), maxComponentBytes, relative.generic_string());
}

std::optional<std::string> bundleVersion(const fs::path& bundle) {
    try {
        UniqueFd fd = FileBytes::openBeneath(bundle, "Contents/Info.plist", "Info.plist");
        PropertyList info = PropertyList::parse(
            FileBytes::readCapped(fd.get(), PropertyList::maxFileBytes, "Info.plist"), "Info.plist");
        return versionOf(info.root());
    } catch (const SignatureDefect&) {
        return std::nullopt;
    }
}

} // namespace ostrel
