#pragma once

#include "Services/Download.h"
#include "Services/JsonReader.h"

#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// A product as the customer's inventory lists it: something the customer owns,
// with what is needed to install it.
struct ProductSummary {
    std::string id{}; // same identifiers as StorefrontProduct::id
    std::string name{};
    std::string tagline{};
    std::optional<std::string> description{};
    std::optional<std::string> iconUrl{};
    std::optional<std::string> website{};
    std::optional<std::string> currentVersion{};
    std::optional<std::string> version{}; // the release whose files are listed
    std::optional<std::string> releaseDescription{};
    std::optional<bool> downloadsNeedsUser{};
    std::optional<bool> downloadsNeedsOwnership{};
    std::optional<std::vector<Download>> downloads{};

    std::vector<Download> macDownloads() const { return ostrel::macDownloads(downloads); }

    bool operator==(const ProductSummary&) const = default;
};

void readJson(const JsonReader& in, ProductSummary& out);
void to_json(nlohmann::json& json, const ProductSummary& product);

} // namespace ostrel
