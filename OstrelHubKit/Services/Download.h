#pragma once

#include "Services/JsonReader.h"

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// The platform a store file is for. Spellings the store may add later decode
// as `unknown` rather than failing the whole answer.
enum class Platform {
    universal,
    windows,
    linux,
    mac,
    iOS,
    android,
    unknown,
};

// The store's spelling: "Universal", "Mac", ... and "unknown".
std::string_view rawValue(Platform platform);
// Exact, case-sensitive match of a store spelling; anything else is `unknown`.
Platform platformFromRaw(std::string_view raw);
// Whether a file for this platform can be installed by the hub.
bool installableHere(Platform platform);

void readJson(const JsonReader& in, Platform& out);
void to_json(nlohmann::json& json, Platform platform);

// One downloadable file of a product release.
struct Download {
    std::string name{};
    std::string key{};
    Platform platform = Platform::unknown;
    int64_t size = 0; // as published by the store; the downloader stops here
    std::optional<std::string> path{};

    bool operator==(const Download&) const = default;
};

void readJson(const JsonReader& in, Download& out);
void to_json(nlohmann::json& json, const Download& download);

// The entries the hub can install, in their original order; no list counts as empty.
std::vector<Download> macDownloads(const std::optional<std::vector<Download>>& downloads);

} // namespace ostrel
