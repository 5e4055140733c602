#pragma once

#include "Install/InstalledItem.h"
#include "Util/Iso8601.h"

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

namespace ostrel {

// What the hub installed for one store product: the release, when, and the
// exact bundles it placed.
struct InstallRecord {
    std::string productId;
    std::string productName;
    std::string version;
    std::string downloadKey;
    Iso8601::TimePoint installedAt{};
    std::vector<InstalledItem> items;
    std::vector<std::string> notes;

    // The items still on disk, in order. None left means the user removed the product by hand.
    std::vector<InstalledItem> presentItems() const;

    bool operator==(const InstallRecord&) const = default;
};

// Every key is required; the date is ISO 8601 text. Decoding errors throw nlohmann::json::exception.
void to_json(nlohmann::json& json, const InstallRecord& record);
void from_json(const nlohmann::json& json, InstallRecord& record);

} // namespace ostrel
