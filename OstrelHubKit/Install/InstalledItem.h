#pragma once

#include "Install/BundleKind.h"

#include <filesystem>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

namespace ostrel {

// One bundle the hub placed, as the ledger remembers it: where it is, what
// kind, and the identity its signature proved when it was placed.
struct InstalledItem {
    std::string path;
    BundleKind kind = BundleKind::vst3;
    std::string identifier;
    std::string teamID;
    std::optional<std::string> version;

    std::filesystem::path url() const { return path; }
    std::string name() const { return url().filename().string(); }

    bool operator==(const InstalledItem&) const = default;
};

// JSON object with the field names as keys; "version" left out when absent.
// Decoding requires every key but "version" and throws nlohmann::json::exception otherwise.
void to_json(nlohmann::json& json, const InstalledItem& item);
void from_json(const nlohmann::json& json, InstalledItem& item);

} // namespace ostrel

template <>
struct std::hash<ostrel::InstalledItem> {
    size_t operator()(const ostrel::InstalledItem& item) const noexcept;
};
