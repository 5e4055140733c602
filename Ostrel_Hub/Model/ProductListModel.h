#pragma once

#include "Services/Storefront.h"

#include <QAbstractListModel>
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
class ProductListModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

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

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return static_cast<int>(rows_.size()); }
    const std::vector<ProductRow>& rows() const { return rows_; }
    Q_INVOKABLE QString productIdAt(int row) const;
    void setRows(std::vector<ProductRow> rows);

signals:
    void countChanged();

private:
    bool sameProducts(const std::vector<ProductRow>& rows) const;
    std::vector<ProductRow> rows_;
};

} // namespace ostrel::hub
