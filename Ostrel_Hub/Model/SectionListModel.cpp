#include "Model/SectionListModel.h"

namespace ostrel::hub {

SectionListModel::SectionListModel(QObject* parent) : QAbstractListModel(parent) {}

int SectionListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(hubSectionCount);
}

QVariant SectionListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const HubSection section = allHubSections()[static_cast<std::size_t>(index.row())];
    switch (role) {
    case SectionRole:
        return QVariant::fromValue(section);
    case SectionIdRole:
        return rawValue(section);
    case Qt::DisplayRole:
    case TitleRole:
        return title(section);
    case IconNameRole:
        return symbol(section);
    case BadgeRole:
        return badge(section);
    case GroupRole:
        return group(section);
    default:
        return {};
    }
}

QHash<int, QByteArray> SectionListModel::roleNames() const {
    return {{SectionRole, "section"},   {SectionIdRole, "sectionId"}, {TitleRole, "title"},
            {IconNameRole, "iconName"}, {BadgeRole, "badge"},         {GroupRole, "group"}};
}

int SectionListModel::badge(HubSection section) const {
    return badges_[static_cast<std::size_t>(section)];
}

void SectionListModel::setBadge(HubSection section, int count) {
    auto& kept = badges_[static_cast<std::size_t>(section)];
    if (kept == count)
        return;
    kept = count;
    const QModelIndex changed = index(static_cast<int>(section));
    emit dataChanged(changed, changed, {BadgeRole});
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
