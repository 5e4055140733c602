#pragma once

#include "Services/JsonReader.h"

#include <map>
#include <optional>
#include <string>

namespace ostrel {

// How a price repeats.
struct Recurrence {
    std::string type{}; // "Recurring" for subscriptions, anything else is a one-time price
    std::optional<std::string> cycleLength{};

    bool isRecurring() const { return type == "Recurring"; }

    bool operator==(const Recurrence&) const = default;
};

void readJson(const JsonReader& in, Recurrence& out);
void to_json(nlohmann::json& json, const Recurrence& recurrence);

// Prices keyed by currency code.
using PriceMap = std::map<std::string, double>;

// One way to buy a product or bundle: an edition, a tier, a subscription.
struct PricingVariation {
    std::string id{};
    std::string name{};
    PriceMap originalPrice{};
    PriceMap price{};
    bool hasDiscount = false;
    Recurrence recurrence{};

    bool operator==(const PricingVariation&) const = default;
};

void readJson(const JsonReader& in, PricingVariation& out);
void to_json(nlohmann::json& json, const PricingVariation& variation);

} // namespace ostrel
