#include "Install/InstallRecord.h"

#include <filesystem>
#include <nlohmann/json.hpp>

namespace ostrel {

std::vector<InstalledItem> InstallRecord::presentItems() const {
    std::vector<InstalledItem> present;
    for (const auto& item : items) {
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(item.url(), error)))
            present.push_back(item);
    }
    return present;
}

void to_json(nlohmann::json& json, const InstallRecord& record) {
    json = nlohmann::json{{"productId", record.productId},
                          {"productName", record.productName},
                          {"version", record.version},
                          {"downloadKey", record.downloadKey},
                          {"installedAt", Iso8601::format(record.installedAt)},
                          {"items", record.items},
                          {"notes", record.notes}};
}

void from_json(const nlohmann::json& json, InstallRecord& record) {
    const auto date = json.at("installedAt").get<std::string>();
    const auto installedAt = Iso8601::parse(date);
    if (!installedAt)
        throw nlohmann::json::other_error::create(501, "installedAt is not an ISO 8601 date: " + date, &json);
    record.productId = json.at("productId").get<std::string>();
    record.productName = json.at("productName").get<std::string>();
    record.version = json.at("version").get<std::string>();
    record.downloadKey = json.at("downloadKey").get<std::string>();
    record.installedAt = *installedAt;
    record.items = json.at("items").get<std::vector<InstalledItem>>();
    record.notes = json.at("notes").get<std::vector<std::string>>();
}

} // namespace ostrel
