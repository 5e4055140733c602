#include "Services/ProductSummary.h"

namespace ostrel {

void readJson(const JsonReader& in, ProductSummary& out) {
    out = {
        .id = in.required<std::string>("id"),
        .name = in.required<std::string>("name"),
        .tagline = in.required<std::string>("tagline"),
        .description = in.optional<std::string>("description"),
        .iconUrl = in.optional<std::string>("iconUrl"),
        .website = in.optional<std::string>("website"),
        .currentVersion = in.optional<std::string>("currentVersion"),
        .version = in.optional<std::string>("version"),
        .releaseDescription = in.optional<std::string>("releaseDescription"),
        .downloadsNeedsUser = in.optional<bool>("downloadsNeedsUser"),
        .downloadsNeedsOwnership = in.optional<bool>("downloadsNeedsOwnership"),
        .downloads = in.optional<std::vector<Download>>("downloads"),
    };
}

void to_json(nlohmann::json& json, const ProductSummary& product) {
    json = {{"id", product.id}, {"name", product.name}, {"tagline", product.tagline}};
    writeOptional(json, "description", product.description);
    writeOptional(json, "iconUrl", product.iconUrl);
    writeOptional(json, "website", product.website);
    writeOptional(json, "currentVersion", product.currentVersion);
    writeOptional(json, "version", product.version);
    writeOptional(json, "releaseDescription", product.releaseDescription);
    writeOptional(json, "downloadsNeedsUser", product.downloadsNeedsUser);
    writeOptional(json, "downloadsNeedsOwnership", product.downloadsNeedsOwnership);
    writeOptional(json, "downloads", product.downloads);
}

} // namespace ostrel
