#include "Model/Wishlist.h"

#include "Model/HubSettings.h"

namespace ostrel::hub {

Wishlist::Wishlist(HubSettings& settings, QObject* parent) : QObject(parent), settings_(settings) {
    const auto stored = settings_.wishlist();
    ids_.insert(stored.begin(), stored.end());
}

QStringList Wishlist::ids() const {
    return QStringList(ids_.begin(), ids_.end());
}

bool Wishlist::contains(const QString& id) const {
    return ids_.contains(id);
}

void Wishlist::toggle(const QString& id) {
    if (ids_.erase(id) == 0)
        ids_.insert(id);
    changed();
}

void Wishlist::removeAll(const QStringList& ids) {
    std::size_t removed = 0;
    for (const auto& id : ids)
        removed += ids_.erase(id);
    if (removed > 0)
        changed();
}

void Wishlist::changed() {
    settings_.setWishlist(ids());
    emit idsChanged();
}

} // namespace ostrel::hub
