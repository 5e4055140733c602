#include "Services/PricingVariation.h"

namespace ostrel {

void readJson(const JsonReader& in, Recurrence& out) {
    out = {
        .type = in.required<std::string>("type"),
        .cycleLength = in.optional<std::string>("cycleLength"),
    };
}

void to_json(nlohmann::json& json, const Recurrence& recurrence) {
    json = {{"type", recurrence.type}};
    writeOptional(json, "cycleLength", recurrence.cycleLength);
}

void readJson(const JsonReader& in, PricingVariation& out) {
    out = {
        .id = in.required<std::string>("id"),
        .name = in.required<std::string>("name"),
        .originalPrice = in.required<PriceMap>("originalPrice"),
        .price = in.required<PriceMap>("price"),
        .hasDiscount = in.required<bool>("hasDiscount"),
        .recurrence = in.required<Recurrence>("recurrence"),
    };
}

void to_json(nlohmann::json& json, const PricingVariation& variation) {
    json = {
        {"id", variation.id},
        {"name", variation.name},
        {"originalPrice", variation.originalPrice},
        {"price", variation.price},
        {"hasDiscount", variation.hasDiscount},
        {"recurrence", variation.recurrence},
    };
}

} // namespace ostrel
