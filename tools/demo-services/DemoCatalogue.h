#pragma once

#include "Services/PricingVariation.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::demo {

// A review that ships with the catalogue.
struct CatalogueReview {
    int rating = 0;
    std::string title;
    std::string body;
    std::string displayName;
    bool verifiedPurchase = false;
    std::optional<std::string> createdAt;
    std::optional<std::string> updatedAt;
    bool edited = false;
};

using Colour = std::array<uint8_t, 3>;

struct CatalogueProduct {
    std::string id;
    std::string name;
    std::string tagline;
    std::string description;
    std::string category;
    std::string kind;                 // "plugin" or "app"
    std::vector<std::string> formats; // plug-in formats: "VST3", "AU", "CLAP", "VST"
    std::string release;              // the release file's shape: "pkg", "zip" or "dmg" (an app's default)
    std::string version;
    std::string releaseNotes;
    Colour colour{};
    int screenshots = 0;
    std::vector<std::string> platforms; // store spellings: "Mac", "Windows"
    std::vector<PricingVariation> variations;
    std::vector<CatalogueReview> reviews;
    int build = 0; // the build of the release file: 0 for the first, counted up when it is remade

    // The folder names of the bundles its release holds: "Aurora Verb.vst3", "Sketchpad.app".
    std::vector<std::string> bundleNames() const;
    bool isFree() const;
};

struct CatalogueBundle {
    std::string id;
    std::string name;
    std::string tagline;
    std::string description;
    Colour colour{};
    std::vector<std::string> products;
    std::vector<PricingVariation> variations;
};

struct CatalogueCustomer {
    std::string id;
    std::string email;
    std::string name;
    std::string password;
    std::vector<std::string> owns;
};

// The demo store's content, read from a JSON file so that the code stays generic.
struct DemoCatalogue {
    std::string suggestedCurrency;
    std::vector<std::string> currencies;
    std::vector<CatalogueCustomer> customers;
    std::vector<CatalogueProduct> products;
    std::vector<CatalogueBundle> bundles;
    std::vector<std::string> moderatedWords;
    nlohmann::json identity; // linked e-mails, external accounts and gifted purchases of the demo customer
    nlohmann::json extras;   // the extras feed, with "{web}" standing for the maker's site

    // Throws std::runtime_error naming the file and what is wrong in it.
    static DemoCatalogue load(const std::filesystem::path& file);
    static DemoCatalogue parse(std::string_view json);

    const CatalogueProduct* product(std::string_view id) const;
    const CatalogueBundle* bundle(std::string_view id) const;
    // Whether `variationId` is one of the product's or bundle's variations.
    const PricingVariation* variation(std::string_view ownerId, std::string_view variationId) const;
};

} // namespace ostrel::demo
