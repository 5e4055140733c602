#include "Model/StoreState.h"

#include "Util/Version.h"

#include <algorithm>
#include <set>

namespace ostrel::hub {
namespace {

bool contains(const std::optional<std::vector<std::string>>& ids, std::string_view id) {
    return ids && std::find(ids->begin(), ids->end(), id) != ids->end();
}

template <class Keep>
StoreState::Products select(const std::shared_ptr<const Storefront>& storefront, Keep keep) {
    StoreState::Products chosen;
    if (!storefront)
        return chosen;
    for (const auto& product : storefront->products)
        if (keep(product))
            chosen.push_back(&product);
    return chosen;
}

} // namespace

StoreState::Products StoreState::ownedProducts() const {
    std::set<std::string, std::less<>> owned;
    for (const auto& product : storeOwned)
        owned.insert(product.id);
    if (ostrelProfile && ostrelProfile->products)
        owned.insert(ostrelProfile->products->begin(), ostrelProfile->products->end());
    return select(storefront, [&](const StorefrontProduct& product) { return owned.contains(product.id); });
}

bool StoreState::owns(std::string_view id) const {
    const bool inStoreAccount =
        std::any_of(storeOwned.begin(), storeOwned.end(), [&](const ProductSummary& owned) { return owned.id == id; });
    return inStoreAccount || (ostrelProfile && contains(ostrelProfile->products, id)) ||
           (storeUser && contains(storeUser->ownedProducts, id));
}

StoreState::Products StoreState::products() const {
    return select(storefront,
                  [&](const StorefrontProduct& product) { return product.isPurchasable() || owns(product.id); });
}

StoreState::Products StoreState::freeProducts() const {
    auto all = products();
    std::erase_if(all, [](const StorefrontProduct* product) { return !product->isFree(); });
    return all;
}

const StorefrontProduct* StoreState::storeProduct(std::string_view id) const {
    const auto found = select(storefront, [&](const StorefrontProduct& product) { return product.id == id; });
    return found.empty() ? nullptr : found.front();
}

const InstallRecord* StoreState::record(std::string_view id) const {
    const auto found =
        std::find_if(installed.begin(), installed.end(), [&](const InstallRecord& r) { return r.productId == id; });
    return found == installed.end() ? nullptr : &*found;
}

std::optional<std::string> StoreState::latestVersion(const StorefrontProduct& product) const {
    const auto notes = releaseNotes.find(product.id);
    if (notes != releaseNotes.end() && notes->second.currentVersion)
        return notes->second.currentVersion;
    return product.currentVersion;
}

bool StoreState::hasUpdate(const StorefrontProduct& product) const {
    const auto* installedRecord = record(product.id);
    const auto latest = latestVersion(product);
    return installedRecord != nullptr && latest && Version(installedRecord->version) < Version(*latest);
}

StoreState::Products StoreState::updatesAvailable() const {
    auto owned = ownedProducts();
    std::erase_if(owned, [&](const StorefrontProduct* product) { return !hasUpdate(*product); });
    return owned;
}

void StoreState::setStoreOwned(std::vector<ProductSummary> owned) {
    std::stable_sort(owned.begin(), owned.end(),
                     [](const ProductSummary& a, const ProductSummary& b) { return a.name < b.name; });
    storeOwned = std::move(owned);
}

} // namespace ostrel::hub
