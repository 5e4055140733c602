#include "Model/ProductShelves.h"

#include <algorithm>

namespace ostrel::hub::ProductShelves {
namespace {

template <class Drop>
StoreState::Products without(StoreState::Products products, Drop drop) {
    std::erase_if(products, drop);
    return products;
}

bool isInstalled(const StoreState& state, const std::map<std::string, InstalledOnDisk>& disk, const std::string& id) {
    if (!state.record(id))
        return false;
    const auto found = disk.find(id);
    return found == disk.end() || !found->second.removed;
}

} // namespace

StoreState::Products featured(const StoreState& state) {
    auto withIcon = without(state.products(), [](const StorefrontProduct* product) {
        return !product->iconUrl || product->iconUrl->empty();
    });
    if (withIcon.size() > featuredCount)
        withIcon.resize(featuredCount);
    return withIcon;
}

StoreState::Products notOwned(const StoreState& state) {
    return without(state.products(), [&](const StorefrontProduct* product) { return state.owns(product->id); });
}

StoreState::Products wishlisted(const StoreState& state, const QStringList& ids) {
    return without(state.products(), [&](const StorefrontProduct* product) {
        return !ids.contains(QString::fromStdString(product->id));
    });
}

StoreState::Products installed(const StoreState& state, const std::map<std::string, InstalledOnDisk>& disk) {
    return without(state.products(),
                   [&](const StorefrontProduct* product) { return !isInstalled(state, disk, product->id); });
}

StoreState::Products library(const StoreState& state, const std::map<std::string, InstalledOnDisk>& disk,
                             LibraryFilter filter) {
    if (filter == LibraryFilter::all)
        return state.ownedProducts();
    const bool wanted = filter == LibraryFilter::installed;
    return without(state.ownedProducts(),
                   [&](const StorefrontProduct* product) { return isInstalled(state, disk, product->id) != wanted; });
}

QString libraryCountLine(const StoreState& state, const std::map<std::string, InstalledOnDisk>& disk) {
    const auto owned = state.ownedProducts().size();
    const auto installedCount = library(state, disk, LibraryFilter::installed).size();
    return QStringLiteral("%1 owned, %2 installed").arg(owned).arg(installedCount);
}

} // namespace ostrel::hub::ProductShelves
