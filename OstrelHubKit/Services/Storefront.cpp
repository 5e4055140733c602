#include "Services/Storefront.h"

#include <algorithm>

namespace ostrel {

namespace {

bool allZero(const PriceMap& prices) {
    return std::all_of(prices.begin(), prices.end(), [](const auto& entry) { return entry.second == 0.0; });
}

} // namespace

bool StorefrontProduct::isFree() const {
    if (!defaultVariation || defaultVariation->price.empty())
        return false;
    const PriceMap& original =
        defaultVariation->originalPrice.empty() ? defaultVariation->price : defaultVariation->originalPrice;
    return allZero(original) && allZero(defaultVariation->price);
}

void readJson(const JsonReader& in, StorefrontProduct& out) {
    out = {
        .id = in.required<std::string>("id"),
        .name = in.required<std::string>("name"),
        .tagline = in.required<std::string>("tagline"),
        .description = in.optional<std::string>("description"),
        .iconUrl = in.optional<std::string>("iconUrl"),
        .website = in.optional<std::string>("website"),
        .owned = in.required<bool>("owned"),
        .currentVersion = in.optional<std::string>("currentVersion"),
        .downloads = in.optional<std::vector<Download>>("downloads"),
        .defaultVariation = in.optional<PricingVariation>("defaultVariation"),
        .variations = in.optional<std::vector<PricingVariation>>("variations"),
    };
}

void to_json(nlohmann::json& json, const StorefrontProduct& product) {
    json = {
        {"id", product.id},
        {"name", product.name},
        {"tagline", product.tagline},
        {"owned", product.owned},
    };
    writeOptional(json, "description", product.description);
    writeOptional(json, "iconUrl", product.iconUrl);
    writeOptional(json, "website", product.website);
    writeOptional(json, "currentVersion", product.currentVersion);
    writeOptional(json, "downloads", product.downloads);
    writeOptional(json, "defaultVariation", product.defaultVariation);
    writeOptional(json, "variations", product.variations);
}

void readJson(const JsonReader& in, StorefrontBundle& out) {
    out = {
        .id = in.required<std::string>("id"),
        .name = in.required<std::string>("name"),
        .tagline = in.required<std::string>("tagline"),
        .description = in.optional<std::string>("description"),
        .iconUrl = in.optional<std::string>("iconUrl"),
        .owned = in.required<bool>("owned"),
        .partial = in.required<bool>("partial"),
        .products = in.required<std::vector<StorefrontProduct>>("products"),
        .defaultVariation = in.optional<PricingVariation>("defaultVariation"),
        .variations = in.optional<std::vector<PricingVariation>>("variations"),
    };
}

void to_json(nlohmann::json& json, const StorefrontBundle& bundle) {
    json = {
        {"id", bundle.id},       {"name", bundle.name},       {"tagline", bundle.tagline},
        {"owned", bundle.owned}, {"partial", bundle.partial}, {"products", bundle.products},
    };
    writeOptional(json, "description", bundle.description);
    writeOptional(json, "iconUrl", bundle.iconUrl);
    writeOptional(json, "defaultVariation", bundle.defaultVariation);
    writeOptional(json, "variations", bundle.variations);
}

void readJson(const JsonReader& in, Storefront& out) {
    out = {
        .suggestedCurrency = in.required<std::string>("suggestedCurrency"),
        .enabledCurrencies = in.optional<std::vector<std::string>>("enabledCurrencies"),
        .products = in.required<std::vector<StorefrontProduct>>("products"),
        .bundles = in.required<std::vector<StorefrontBundle>>("bundles"),
    };
}

void to_json(nlohmann::json& json, const Storefront& storefront) {
    json = {
        {"suggestedCurrency", storefront.suggestedCurrency},
        {"products", storefront.products},
        {"bundles", storefront.bundles},
    };
    writeOptional(json, "enabledCurrencies", storefront.enabledCurrencies);
}

} // namespace ostrel
