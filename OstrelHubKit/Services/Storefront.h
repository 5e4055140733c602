#pragma once

#include "Services/Download.h"
#include "Services/JsonReader.h"
#include "Services/PricingVariation.h"

#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// A product as the storefront lists it.
struct StorefrontProduct {
    std::string id{}; // the key by which the whole hub refers to a product
    std::string name{};
    std::string tagline{};
    std::optional<std::string> description{};
    std::optional<std::string> iconUrl{};
    std::optional<std::string> website{};
    bool owned = false; // false when signed out
    std::optional<std::string> currentVersion{};
    std::optional<std::vector<Download>> downloads{};
    std::optional<PricingVariation> defaultVariation{};
    std::optional<std::vector<PricingVariation>> variations{};

    bool isPurchasable() const { return defaultVariation.has_value(); }
    // Offered for nothing: a default variation whose prices (and original
    // prices, when there are any) are all exactly zero.
    bool isFree() const;
    std::vector<Download> macDownloads() const { return ostrel::macDownloads(downloads); }

    bool operator==(const StorefrontProduct&) const = default;
};

void readJson(const JsonReader& in, StorefrontProduct& out);
void to_json(nlohmann::json& json, const StorefrontProduct& product);

// Several products sold together.
struct StorefrontBundle {
    std::string id{};
    std::string name{};
    std::string tagline{};
    std::optional<std::string> description{};
    std::optional<std::string> iconUrl{};
    bool owned = false;   // the whole bundle
    bool partial = false; // some of its products
    std::vector<StorefrontProduct> products{};
    std::optional<PricingVariation> defaultVariation{};
    std::optional<std::vector<PricingVariation>> variations{};

    bool operator==(const StorefrontBundle&) const = default;
};

void readJson(const JsonReader& in, StorefrontBundle& out);
void to_json(nlohmann::json& json, const StorefrontBundle& bundle);

// The answer of the storefront request: everything on sale.
struct Storefront {
    std::string suggestedCurrency{};
    std::optional<std::vector<std::string>> enabledCurrencies{};
    std::vector<StorefrontProduct> products{};
    std::vector<StorefrontBundle> bundles{};

    bool operator==(const Storefront&) const = default;
};

void readJson(const JsonReader& in, Storefront& out);
void to_json(nlohmann::json& json, const Storefront& storefront);

} // namespace ostrel
