#include "Install/InstalledItem.h"

#include <nlohmann/json.hpp>

namespace ostrel {

void to_json(nlohmann::json& json, const InstalledItem& item) {
    json = nlohmann::json{
        {"path", item.path}, {"kind", rawValue(item.kind)}, {"identifier", item.identifier}, {"teamID", item.teamID}};
    if (item.version)
        json["version"] = *item.version;
}

void from_json(const nlohmann::json& json, InstalledItem& item) {
    const auto kindText = json.at("kind").get<std::string>();
    const auto kind = bundleKindFromRawValue(kindText);
    if (!kind)
        throw nlohmann::json::other_error::create(501, "unknown bundle kind " + kindText, &json);
    item.path = json.at("path").get<std::string>();
    item.kind = *kind;
    item.identifier = json.at("identifier").get<std::string>();
    item.teamID = json.at("teamID").get<std::string>();
    item.version = std::nullopt;
    if (const auto it = json.find("version"); it != json.end() && !it->is_null())
        item.version = it->get<std::string>();
}

} // namespace ostrel

size_t std::hash<ostrel::InstalledItem>::operator()(const ostrel::InstalledItem& item) const noexcept {
    size_t seed = 0;
    const auto mix = [&seed](size_t value) { seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); };
    mix(std::hash<std::string>{}(item.path));
    mix(static_cast<size_t>(item.kind));
    mix(std::hash<std::string>{}(item.identifier));
    mix(std::hash<std::string>{}(item.teamID));
    mix(std::hash<std::optional<std::string>>{}(item.version));
    return seed;
}
