#include "Services/Download.h"

#include "Services/RawValueTable.h"

#include <algorithm>
#include <iterator>
#include <nlohmann/json.hpp>

namespace ostrel {

namespace {

constexpr RawValueTable<Platform, 7> platformNames{
    .entries = {{
        {Platform::universal, "Universal"},
        {Platform::windows, "Windows"},
        {Platform::linux, "Linux"},
        {Platform::mac, "Mac"},
        {Platform::iOS, "iOS"},
        {Platform::android, "Android"},
        {Platform::unknown, "unknown"},
    }},
    .fallback = Platform::unknown,
};

} // namespace

std::string_view rawValue(Platform platform) {
    return platformNames.name(platform);
}

Platform platformFromRaw(std::string_view raw) {
    return platformNames.parse(raw);
}

bool installableHere(Platform platform) {
    return platform == Platform::mac || platform == Platform::universal;
}

void readJson(const JsonReader& in, Platform& out) {
    out = platformFromRaw(in.asString());
}

void to_json(nlohmann::json& json, Platform platform) {
    json = rawValue(platform);
}

void readJson(const JsonReader& in, Download& out) {
    out = {
        .name = in.required<std::string>("name"),
        .key = in.required<std::string>("key"),
        .platform = in.required<Platform>("platform"),
        .size = in.required<int64_t>("size"),
        .path = in.optional<std::string>("path"),
    };
}

void to_json(nlohmann::json& json, const Download& download) {
    json = {
        {"name", download.name},
        {"key", download.key},
        {"platform", download.platform},
        {"size", download.size},
    };
    writeOptional(json, "path", download.path);
}

std::vector<Download> macDownloads(const std::optional<std::vector<Download>>& downloads) {
    std::vector<Download> installable;
    if (downloads)
        std::copy_if(downloads->begin(), downloads->end(), std::back_inserter(installable),
                     [](const Download& download) { return installableHere(download.platform); });
    return installable;
}

} // namespace ostrel
