#include "Model/Cart.h"

#include "Model/PriceText.h"

#include <algorithm>

namespace ostrel::hub {

Cart::Cart(QObject* parent) : QAbstractListModel(parent) {}

int Cart::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant Cart::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const CartLine& line = lines_[static_cast<size_t>(index.row())];
    switch (role) {
    case productIdRole:
        return QString::fromStdString(line.product.id);
    case Qt::DisplayRole:
    case nameRole:
        return QString::fromStdString(line.product.name);
    case iconUrlRole:
        return QString::fromStdString(line.product.iconUrl.value_or(""));
    case priceRole:
        return price(line);
    default:
        return {};
    }
}

QHash<int, QByteArray> Cart::roleNames() const {
    return {{productIdRole, "productId"}, {nameRole, "name"}, {iconUrlRole, "iconUrl"}, {priceRole, "price"}};
}

QStringList Cart::ids() const {
    QStringList ids;
    for (const auto& line : lines_)
        ids << QString::fromStdString(line.product.id);
    return ids;
}

bool Cart::contains(const QString& id) const {
    const auto wanted = id.toStdString();
    return std::any_of(lines_.begin(), lines_.end(), [&](const CartLine& line) { return line.product.id == wanted; });
}

void Cart::add(CartLine line) {
    if (!lines_.empty() && lines_.back() == line)
        return;
    eraseLine(line.product.id);
    const int row = count();
    beginInsertRows({}, row, row);
    lines_.push_back(std::move(line));
    endInsertRows();
    emit changed();
}

void Cart::remove(const QString& id) {
    if (eraseLine(id.toStdString()))
        emit changed();
}

bool Cart::eraseLine(const std::string& id) {
    const auto found =
        std::find_if(lines_.begin(), lines_.end(), [&](const CartLine& line) { return line.product.id == id; });
    if (found == lines_.end())
        return false;
    const int row = static_cast<int>(found - lines_.begin());
    beginRemoveRows({}, row, row);
    lines_.erase(found);
    endRemoveRows();
    return true;
}

void Cart::clear() {
    if (lines_.empty())
        return;
    beginResetModel();
    lines_.clear();
    endResetModel();
    emit changed();
}

void Cart::setPricing(const std::string& currency, const std::string& localeName) {
    if (currency == currency_ && localeName == localeName_)
        return;
    currency_ = currency;
    localeName_ = localeName;
    if (!lines_.empty())
        emit dataChanged(index(0), index(count() - 1), {priceRole});
    emit changed();
}

QString Cart::total() const {
    double sum = 0;
    for (const auto& line : lines_) {
        const auto found = line.variation.price.find(currency_);
        sum += found == line.variation.price.end() ? 0 : found->second;
    }
    return PriceText::money(sum, currency_, localeName_);
}

QString Cart::price(const CartLine& line) const {
    const auto& prices = line.variation.price;
    if (std::all_of(prices.begin(), prices.end(), [](const auto& price) { return price.second == 0; }))
        return QStringLiteral("Free");
    return PriceText::format(line.variation, line.variation.price, currency_, localeName_);
}

} // namespace ostrel::hub
