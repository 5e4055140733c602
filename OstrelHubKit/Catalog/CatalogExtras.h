#pragma once

#include "Catalog/ExtrasItem.h"
#include "Services/HostPolicy.h"
#include "Services/JsonReader.h"
#include "Util/Url.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// Extra media for a store product.
struct ProductMedia {
    std::vector<std::string> screenshots{}; // addresses, in file order

    bool operator==(const ProductMedia&) const = default;
};

// Leniently: "screenshots" absent or null is an empty list, elements that are not strings are
// dropped; anything else of the wrong type fails (DecodingError).
void readJson(const JsonReader& in, ProductMedia& out);
void to_json(nlohmann::json& json, const ProductMedia& media);

// The maker's extras feed: free tools, games and early-access builds, and screenshots for store
// products. Decoration only: whatever is wrong with the feed costs the entries it touches, and
// a feed that cannot be used at all is simply absent.
struct CatalogExtras {
    // The only format version understood.
    static constexpr int64_t currentVersion = 1;

    int64_t version = currentVersion;
    std::vector<ExtrasItem> items{};             // file order, one per id
    std::map<std::string, ProductMedia> media{}; // by store product identifier

    // "https://" + the maker's web host + "/downloads/ostrel-catalog-extras.json".
    static Url feedURL(std::string_view webHost);

    // The feed as the maker publishes it; none when it is not a JSON object of version 1.
    static std::optional<CatalogExtras> decode(std::string_view bytes);

    std::vector<ExtrasItem> freeTools() const;
    std::vector<ExtrasItem> earlyAccess() const;
    // The product's screenshots that `policy` allows as images, in file order.
    std::vector<Url> screenshots(const std::string& productId, const HostPolicy& policy) const;

    bool operator==(const CatalogExtras&) const = default;
};

// The stored form (snapshots): "version", "items" and "media" all required; items are read
// back through the feed's item rules, so each decodes to itself.
void readJson(const JsonReader& in, CatalogExtras& out);
void to_json(nlohmann::json& json, const CatalogExtras& extras);

} // namespace ostrel
