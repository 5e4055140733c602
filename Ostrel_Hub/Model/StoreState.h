#pragma once

#include "Install/InstallRecord.h"
#include "Services/OstrelIDRecords.h"
#include "Services/ProductSummary.h"
#include "Services/Storefront.h"
#include "Services/User.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::hub {

// What the hub knows of the store, the account and this machine, and the answers derived from
// it: what the user owns, what is for sale, what is installed and what has an update. Plain
// data, so the rules can be read and tested apart from the model that keeps it current.
// Product pointers point into `storefront` and stay valid while that storefront is held.
struct StoreState {
    std::shared_ptr<const Storefront> storefront;
    std::optional<User> storeUser;
    std::vector<ProductSummary> storeOwned; // by name, plain code-point order
    std::optional<OstrelIDProfile> ostrelProfile;
    std::vector<InstallRecord> installed;
    std::map<std::string, ProductSummary> releaseNotes; // product id → the store's detail

    using Products = std::vector<const StorefrontProduct*>;

    // The storefront's products the store account or the Ostrel ID holds, in storefront order.
    Products ownedProducts() const;
    bool owns(std::string_view id) const;
    // What the store shows: priced products and owned ones, in storefront order.
    Products products() const;
    Products freeProducts() const;
    const StorefrontProduct* storeProduct(std::string_view id) const;
    const InstallRecord* record(std::string_view id) const;
    // The release notes' current version when known, else the storefront's.
    std::optional<std::string> latestVersion(const StorefrontProduct& product) const;
    bool hasUpdate(const StorefrontProduct& product) const;
    Products updatesAvailable() const;

    // Sorts and keeps the store account's products.
    void setStoreOwned(std::vector<ProductSummary> owned);
};

} // namespace ostrel::hub
