#include "Model/SectionListModel.h"

namespace ostrel::hub {

SectionListModel::SectionListModel(QObject* parent)
    : RowListBase(
          {
              {SectionRole, "section", [](const SectionRow& row) { return QVariant::fromValue(row.section); }},
              {SectionIdRole, "sectionId", [](const SectionRow& row) { return QVariant(rawValue(row.section)); }},
              {TitleRole, "title", [](const SectionRow& row) { return QVariant(title(row.section)); }},
              {IconNameRole, "iconName", [](const SectionRow& row) { return QVariant(symbol(row.section)); }},
              {BadgeRole, "badge", [](const SectionRow& row) { return QVariant(row.badge); }},
              {GroupRole, "group", [](const SectionRow& row) { return QVariant(group(row.section)); }},
          },
          {.displayRole = TitleRole}, parent) {
    std::vector<SectionRow> rows;
    for (const HubSection section : allHubSections())
        rows.push_back({.section = section});
    setRows(std::move(rows));
}

int SectionListModel::badge(HubSection section) const {
    return rows()[static_cast<std::size_t>(section)].badge;
}

void SectionListModel::setBadge(HubSection section, int count) {
    setRow(static_cast<std::size_t>(section), {.section = section, .badge = count}, {BadgeRole});
}

QString SectionListModel::group(HubSection section) {
    switch (section) {
    case HubSection::library:
    case HubSection::updates:
    case HubSection::downloads:
    case HubSection::wishlist:
        return QStringLiteral("Yours");
    case HubSection::account:
        return QStringLiteral("Account");
    default:
        return {};
    }
}

} // namespace ostrel::hub
