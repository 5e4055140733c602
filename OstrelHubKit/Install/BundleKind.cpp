#include "Install/BundleKind.h"

#include "Util/PathSafety.h"
#include "Util/Text.h"

#include <algorithm>

namespace ostrel {
namespace {

struct KindInfo {
    BundleKind kind;
    std::string_view raw;
    std::string_view label;
    std::string_view pluginFolder; // empty for apps
};

constexpr std::array<KindInfo, 5> table{{
    {BundleKind::vst3, "vst3", "VST3", "VST3"},
    {BundleKind::component, "component", "Audio Unit", "Components"},
    {BundleKind::clap, "clap", "CLAP", "CLAP"},
    {BundleKind::vst, "vst", "VST", "VST"},
    {BundleKind::app, "app", "App", ""},
}};

constexpr std::string_view pluginsRoot = "Library/Audio/Plug-Ins";

const KindInfo& info(BundleKind kind) {
    return table[static_cast<size_t>(kind)];
}

} // namespace

std::string_view rawValue(BundleKind kind) {
    return info(kind).raw;
}

std::string_view label(BundleKind kind) {
    return info(kind).label;
}

std::optional<BundleKind> bundleKindFromRawValue(std::string_view raw) {
    const auto it = std::find_if(table.begin(), table.end(), [&](const KindInfo& k) { return k.raw == raw; });
    return it == table.end() ? std::nullopt : std::optional(it->kind);
}

std::optional<BundleKind> bundleKindOf(const std::filesystem::path& location) {
    std::string extension = location.extension().string();
    if (extension.empty())
        return std::nullopt;
    extension.erase(0, 1);
    return bundleKindFromRawValue(Text::asciiLowercase(extension));
}

bool isAcceptableBundleName(const std::string& name) {
    return PathSafety::isAcceptableFileName(name) && bundleKindOf(name).has_value();
}

std::optional<std::filesystem::path> systemDirectory(BundleKind kind) {
    if (kind == BundleKind::app)
        return std::nullopt;
    return std::filesystem::path("/") / pluginsRoot / info(kind).pluginFolder;
}

std::filesystem::path destinationDirectory(BundleKind kind, const std::filesystem::path& home,
                                           const std::filesystem::path& applications) {
    if (kind == BundleKind::app)
        return applications;
    return home / pluginsRoot / info(kind).pluginFolder;
}

} // namespace ostrel
