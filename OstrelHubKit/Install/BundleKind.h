#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// The kinds of bundle the hub installs, named by their file extension.
enum class BundleKind { vst3, component, clap, vst, app };

inline constexpr std::array<BundleKind, 5> allBundleKinds{BundleKind::vst3, BundleKind::component, BundleKind::clap,
                                                          BundleKind::vst, BundleKind::app};

// The file extension, also the kind's name in stored records: "vst3", "component", ...
std::string_view rawValue(BundleKind kind);
// What people call it: "VST3", "Audio Unit", "CLAP", "VST", "App".
std::string_view label(BundleKind kind);
// The kind with this raw value, if any.
std::optional<BundleKind> bundleKindFromRawValue(std::string_view raw);
// The kind named by the location's extension, compared without regard to case.
std::optional<BundleKind> bundleKindOf(const std::filesystem::path& location);
// A single file name that can be a bundle we install: a safe file name
// (PathSafety::isAcceptableFileName) whose extension names a bundle kind.
bool isAcceptableBundleName(const std::string& name);
// The system-wide plug-in folder of the kind; apps have none.
std::optional<std::filesystem::path> systemDirectory(BundleKind kind);
// Where bundles of the kind go: the plug-in folder under `home`, or `applications` for apps.
std::filesystem::path destinationDirectory(BundleKind kind, const std::filesystem::path& home,
                                           const std::filesystem::path& applications);

} // namespace ostrel
