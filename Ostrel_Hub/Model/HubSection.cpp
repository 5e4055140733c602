#include "Model/HubSection.h"

#include <QMetaEnum>
#include <algorithm>

namespace ostrel::hub {
namespace {

struct Presentation {
    HubSection section;
    const char* title;
    const char* symbol;
};

// Titles and icons of every section, in sidebar order. Icons are names of the freedesktop.org
// naming scheme that the common themes (Adwaita, Breeze) carry.
constexpr std::array<Presentation, hubSectionCount> presentations{{
    {HubSection::discover, "Discover", "starred"},
    {HubSection::plugIns, "Plug-ins", "applications-multimedia"},
    {HubSection::apps, "Apps", "application-x-executable"},
    {HubSection::free, "Free", "package-x-generic"},
    {HubSection::freeTools, "Free Tools", "applications-utilities"},
    {HubSection::earlyAccess, "Early Access", "applications-science"},
    {HubSection::library, "Library", "view-grid"},
    {HubSection::updates, "Updates", "software-update-available"},
    {HubSection::downloads, "Downloads", "folder-download"},
    {HubSection::wishlist, "Wishlist", "emblem-favorite"},
    {HubSection::account, "Account", "avatar-default"},
}};

constexpr bool inEnumOrder() {
    for (std::size_t index = 0; index < presentations.size(); ++index)
        if (static_cast<int>(presentations[index].section) != static_cast<int>(index))
            return false;
    return true;
}
static_assert(inEnumOrder(), "one row per section, in the order of the enumeration");

const Presentation& presentation(HubSection section) {
    return presentations[static_cast<std::size_t>(section)];
}

} // namespace

const std::array<HubSection, hubSectionCount>& allHubSections() {
    static const auto sections = [] {
        std::array<HubSection, hubSectionCount> all{};
        std::ranges::transform(presentations, all.begin(), &Presentation::section);
        return all;
    }();
    return sections;
}

QString rawValue(HubSection section) {
    return QString::fromLatin1(QMetaEnum::fromType<HubSection>().valueToKey(static_cast<int>(section)));
}

std::optional<HubSection> parseHubSection(const QString& raw) {
    const auto& all = allHubSections();
    const auto found = std::ranges::find(all, raw, &rawValue);
    if (found == all.end())
        return std::nullopt;
    return *found;
}

QString title(HubSection section) {
    return QString::fromUtf8(presentation(section).title);
}

QString symbol(HubSection section) {
    return QString::fromUtf8(presentation(section).symbol);
}

} // namespace ostrel::hub
