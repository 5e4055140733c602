#pragma once

#include "Model/RowListBase.h"
#include "Services/Storefront.h"

#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::hub {

// One product as a list shows it: the storefront's record and what the hub knows about it.
struct ProductRow {
    StorefrontProduct product;
    std::optional<std::string> latestVersion;
    std::optional<std::string> installedVersion;
    bool owned = false;
    bool hasUpdate = false;

    bool operator==(const ProductRow&) const = default;
};

// A list of products for the screens: the catalogue, the owned products, the updates, the
// search results. The model replaces its rows as a whole; rows that keep their products and
// order only report changed data, so views keep their scroll position and focus.
class ProductListModel : public RowListBase<ProductRow> {
    Q_OBJECT

public:
    enum Role {
        ProductIdRole = Qt::UserRole + 1,
        NameRole,
        TaglineRole,
        DescriptionRole,
        IconUrlRole,
        LatestVersionRole,
        InstalledVersionRole,
        OwnedRole,
        HasUpdateRole,
        IsFreeRole,
        IsPurchasableRole,
    };

    explicit ProductListModel(QObject* parent = nullptr);

    Q_INVOKABLE QString productIdAt(int row) const;
    using RowListBase::setRows;
};

} // namespace ostrel::hub
