#include "Model/ProductListModel.h"

namespace ostrel::hub {
namespace {

QVariant text(const std::string& value) {
    return QString::fromStdString(value);
}

QVariant text(const std::optional<std::string>& value) {
    return value ? QString::fromStdString(*value) : QString();
}

} // namespace

ProductListModel::ProductListModel(QObject* parent)
    : RowListBase(
          {
              {ProductIdRole, "productId", [](const ProductRow& row) { return text(row.product.id); }},
              {NameRole, "name", [](const ProductRow& row) { return text(row.product.name); }},
              {TaglineRole, "tagline", [](const ProductRow& row) { return text(row.product.tagline); }},
              {DescriptionRole, "description", [](const ProductRow& row) { return text(row.product.description); }},
              {IconUrlRole, "iconUrl", [](const ProductRow& row) { return text(row.product.iconUrl); }},
              {LatestVersionRole, "latestVersion", [](const ProductRow& row) { return text(row.latestVersion); }},
              {InstalledVersionRole, "installedVersion",
               [](const ProductRow& row) { return text(row.installedVersion); }},
              {OwnedRole, "owned", [](const ProductRow& row) { return QVariant(row.owned); }},
              {HasUpdateRole, "hasUpdate", [](const ProductRow& row) { return QVariant(row.hasUpdate); }},
              {IsFreeRole, "isFree", [](const ProductRow& row) { return QVariant(row.product.isFree()); }},
              {IsPurchasableRole, "isPurchasable",
               [](const ProductRow& row) { return QVariant(row.product.isPurchasable()); }},
          },
          {.displayRole = NameRole,
           .sameItem = [](const ProductRow& a, const ProductRow& b) { return a.product.id == b.product.id; }},
          parent) {}

QString ProductListModel::productIdAt(int row) const {
    if (row < 0 || row >= count())
        return {};
    return QString::fromStdString(rows()[static_cast<std::size_t>(row)].product.id);
}

} // namespace ostrel::hub
