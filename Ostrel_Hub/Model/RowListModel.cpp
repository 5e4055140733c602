#include "Model/RowListModel.h"

namespace ostrel::hub {

RowListModel::RowListModel(QList<QByteArray> roles, QObject* parent)
    : QAbstractListModel(parent), roles_(std::move(roles)) {}

int RowListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant RowListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto at = role - (Qt::UserRole + 1);
    if (at < 0 || at >= roles_.size())
        return {};
    return rows_[index.row()].value(QString::fromLatin1(roles_[at]));
}

QHash<int, QByteArray> RowListModel::roleNames() const {
    QHash<int, QByteArray> names;
    for (int at = 0; at < roles_.size(); ++at)
        names.insert(Qt::UserRole + 1 + at, roles_[at]);
    return names;
}

void RowListModel::setRows(QList<QVariantMap> rows) {
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
