#include "Model/ExtrasListModel.h"

namespace ostrel::hub {

ExtrasListModel::ExtrasListModel(QObject* parent) : QAbstractListModel(parent) {}

int ExtrasListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant ExtrasListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ExtrasRow& row = rows_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case ItemIdRole:
        return row.itemId;
    case Qt::DisplayRole:
    case TitleRole:
        return row.title;
    case SummaryRole:
        return row.summary;
    case IconUrlRole:
        return row.iconUrl;
    case KindTitleRole:
        return row.kindTitle;
    case RouteRole:
        return row.route;
    default:
        return {};
    }
}

QHash<int, QByteArray> ExtrasListModel::roleNames() const {
    return {{ItemIdRole, "itemId"},   {TitleRole, "title"},         {SummaryRole, "summary"},
            {IconUrlRole, "iconUrl"}, {KindTitleRole, "kindTitle"}, {RouteRole, "route"}};
}

void ExtrasListModel::setRows(std::vector<ExtrasRow> rows) {
    if (rows == rows_)
        return;
    const bool countChanges = rows.size() != rows_.size();
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
    if (countChanges)
        emit countChanged();
}

} // namespace ostrel::hub
