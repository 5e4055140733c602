#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <cstddef>
#include <optional>

namespace ostrel::hub {

// A namespace of its own because the meta-object of a Qt namespace may be declared only once.
namespace HubSections {
Q_NAMESPACE

// The sidebar's sections, in the order the sidebar lists them.
enum class HubSection {
    discover,
    plugIns,
    apps,
    free,
    freeTools,
    earlyAccess,
    library,
    updates,
    downloads,
    wishlist,
    account
};
Q_ENUM_NS(HubSection)

} // namespace HubSections

using HubSections::HubSection;

inline constexpr std::size_t hubSectionCount = 11;

// Every section, in sidebar order.
const std::array<HubSection, hubSectionCount>& allHubSections();

// The section's identity as text: its case name ("plugIns").
QString rawValue(HubSection section);
// The section for a raw value; nothing for any other text.
std::optional<HubSection> parseHubSection(const QString& raw);

// The name the sidebar shows ("Plug-ins").
QString title(HubSection section);
// The freedesktop.org icon name the sidebar shows beside the title.
QString symbol(HubSection section);

} // namespace ostrel::hub
