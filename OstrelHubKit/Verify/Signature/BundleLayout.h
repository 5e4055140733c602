#pragma once

#include "Util/UniqueFd.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ostrel {

// Where the parts of a bundle live, read from its folders and its Info.plist.
// Apps and plug-ins (.app .vst3 .component .clap .vst ...) use the "deep" shape
// X/Contents/{Info.plist, MacOS/<exe>, Resources, _CodeSignature/CodeResources};
// frameworks keep their parts in Versions/<current>/ (Info.plist under
// Resources/); "shallow" bundles keep them at the root.
struct BundleLayout {
    enum class Shape { deep, framework, shallow };

    std::filesystem::path root;
    Shape shape = Shape::deep;
    // The folder the resource seal's keys are relative to, relative to `root`:
    // "Contents", "Versions/A" or empty.
    std::filesystem::path contentsFolder;
    std::optional<std::string> executableName; // CFBundleExecutable; absent for a codeless bundle
    std::optional<std::string> identifier;     // CFBundleIdentifier
    std::optional<std::string> version;        // CFBundleVersion, else CFBundleShortVersionString

    bool operator==(const BundleLayout&) const = default;

    // Reads the layout. Throws SignatureDefect with a precise detail when the
    // Info.plist is missing or unreadable or names an unsafe executable.
    static BundleLayout read(const std::filesystem::path& bundle);

    std::filesystem::path contents() const { return root / contentsFolder; }
    std::filesystem::path infoPlist() const;
    // The Info.plist's path as a resource-seal key ("Info.plist", "Resources/Info.plist").
    std::string infoPlistKey() const;
    // The main executable and its seal key; absent for a codeless bundle.
    std::optional<std::filesystem::path> mainExecutable() const;
    std::optional<std::string> mainExecutableKey() const;
    bool codeless() const { return !executableName.has_value(); }

    std::filesystem::path signatureFolder() const { return contents() / "_CodeSignature"; }
    std::filesystem::path codeResources() const { return signatureFolder() / "CodeResources"; }
    // Where stapling puts a notarisation ticket: a file beside the signature folder.
    std::filesystem::path stapledTicket() const { return contents() / "CodeResources"; }

    // Reads of the bundle's own parts refuse a link anywhere below the bundle
    // root, so a part cannot be swapped for a file elsewhere.
    std::vector<uint8_t> readCodeResources() const; // at most PropertyList::maxFileBytes
    UniqueFd openMainExecutable() const;            // throws for a codeless bundle
    // A part at a path relative to the bundle root ("Contents/MacOS/Echo").
    UniqueFd openPart(const std::filesystem::path& relative) const;
    // Entries of the signature folder that are not among the components in use
    // (strict checking allows nothing else there).
    std::vector<std::string> unexpectedSignatureFiles(const std::set<std::string>& used) const;

    // A path relative to the bundle root, as shown in details ("Contents/Resources/x.png").
    std::string shown(const std::string& sealKey) const;

    // A codeless bundle keeps each signature component as a file in the signature
    // folder; this is the file for a special slot (0 = CodeDirectory, 0x10000 =
    // CodeSignature, 0x1000+n = alternate CodeDirectories...). Empty for an unknown slot.
    static std::string codelessComponentName(uint32_t slot);
    // The component's bytes, or absent when its file does not exist.
    // Refused when larger than maxComponentBytes.
    std::optional<std::vector<uint8_t>> readCodelessComponent(uint32_t slot) const;
    static constexpr uint64_t maxComponentBytes = 4 * 1024 * 1024;
};

// The version a bundle's Contents/Info.plist gives: "CFBundleVersion" when it is
// text, otherwise "CFBundleShortVersionString" when it is text; absent on any failure.
std::optional<std::string> bundleVersion(const std::filesystem::path& bundle);

} // namespace ostrel
