#pragma once

#include "Services/PricingVariation.h"
#include "Services/Storefront.h"

#include <QAbstractListModel>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace ostrel::hub {

// One product the user means to buy, with the way of buying it they chose.
struct CartLine {
    StorefrontProduct product;
    PricingVariation variation;

    bool operator==(const CartLine&) const = default;
};

// The products the user means to buy, in the order they were added; each at most once, with
// the variation chosen last. Kept in memory only: a new run starts with an empty cart. Prices
// are written in the chosen currency and the user's locale.
class Cart : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(QStringList ids READ ids NOTIFY changed)
    Q_PROPERTY(int count READ count NOTIFY changed)
    Q_PROPERTY(QString total READ total NOTIFY changed)

public:
    enum Role { productIdRole = Qt::UserRole + 1, nameRole, iconUrlRole, priceRole };

    explicit Cart(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const std::vector<CartLine>& lines() const { return lines_; }
    QStringList ids() const;
    int count() const { return static_cast<int>(lines_.size()); }
    Q_INVOKABLE bool contains(const QString& id) const;
    // Puts the line at the end; an earlier line of the same product goes.
    void add(CartLine line);
    Q_INVOKABLE void remove(const QString& id);
    Q_INVOKABLE void clear();

    // The currency and locale prices are written in.
    void setPricing(const std::string& currency, const std::string& localeName);
    // The sum of the lines' prices in the currency (a line without one counts 0), as money.
    QString total() const;
    // One line's price: "Free" when its variation costs nothing, else its price.
    QString price(const CartLine& line) const;

signals:
    void changed();

private:
    bool eraseLine(const std::string& id);

    std::vector<CartLine> lines_;
    std::string currency_;
    std::string localeName_;
};

} // namespace ostrel::hub
