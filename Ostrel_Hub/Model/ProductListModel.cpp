#include "Model/ProductListModel.h"

#include <algorithm>

namespace ostrel::hub {
namespace {

QVariant text(const std::string& value) {
    return QString::fromStdString(value);
}

QVariant text(const std::optional<std::string>& value) {
    return value ? QString::fromStdString(*value) : QString();
}

} // namespace

ProductListModel::ProductListModel(QObject* parent) : QAbstractListModel(parent) {}

int ProductListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant ProductListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ProductRow& row = rows_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case ProductIdRole:
        return text(row.product.id);
    case Qt::DisplayRole:
    case NameRole:
        return text(row.product.name);
    case TaglineRole:
        return text(row.product.tagline);
    case DescriptionRole:
        return text(row.product.description);
    case IconUrlRole:
        return text(row.product.iconUrl);
    case LatestVersionRole:
        return text(row.latestVersion);
    case InstalledVersionRole:
        return text(row.installedVersion);
    case OwnedRole:
        return row.owned;
    case HasUpdateRole:
        return row.hasUpdate;
    case IsFreeRole:
        return row.product.isFree();
    case IsPurchasableRole:
        return row.product.isPurchasable();
    default:
        return {};
    }
}

QHash<int, QByteArray> ProductListModel::roleNames() const {
    return {{ProductIdRole, "productId"},
            {NameRole, "name"},
            {TaglineRole, "tagline"},
            {DescriptionRole, "description"},
            {IconUrlRole, "iconUrl"},
            {LatestVersionRole, "latestVersion"},
            {InstalledVersionRole, "installedVersion"},
            {OwnedRole, "owned"},
            {HasUpdateRole, "hasUpdate"},
            {IsFreeRole, "isFree"},
            {IsPurchasableRole, "isPurchasable"}};
}

QString ProductListModel::productIdAt(int row) const {
    if (row < 0 || row >= count())
        return {};
    return QString::fromStdString(rows_[static_cast<std::size_t>(row)].product.id);
}

bool ProductListModel::sameProducts(const std::vector<ProductRow>& rows) const {
    return std::equal(rows.begin(), rows.end(), rows_.begin(), rows_.end(),
                      [](const ProductRow& a, const ProductRow& b) { return a.product.id == b.product.id; });
}

void ProductListModel::setRows(std::vector<ProductRow> rows) {
    if (rows == rows_)
        return;
    if (sameProducts(rows) && !rows.empty()) {
        rows_ = std::move(rows);
        emit dataChanged(index(0), index(count() - 1));
        return;
    }
    const bool countChanges = rows.size() != rows_.size();
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
    if (countChanges)
        emit countChanged();
}

} // namespace ostrel::hub
