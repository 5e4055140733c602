#include "Services/User.h"

namespace ostrel {

void readJson(const JsonReader& in, User& out) {
    out = {
        .id = in.required<std::string>("id"),
        .email = in.required<std::string>("email"),
        .name = in.required<std::string>("name"),
        .tenantId = in.optional<std::string>("tenantId"),
        .ownedProducts = in.optional<std::vector<std::string>>("ownedProducts"),
        .confirmedAccount = in.optional<bool>("confirmedAccount"),
    };
}

void to_json(nlohmann::json& json, const User& user) {
    json = {{"id", user.id}, {"email", user.email}, {"name", user.name}};
    writeOptional(json, "tenantId", user.tenantId);
    writeOptional(json, "ownedProducts", user.ownedProducts);
    writeOptional(json, "confirmedAccount", user.confirmedAccount);
}

void readJson(const JsonReader& in, IdentityResponse& out) {
    out = {
        .user = in.as<User>(),
        .accessToken = in.required<std::string>("accessToken"),
        .refreshToken = in.required<std::string>("refreshToken"),
    };
}

void to_json(nlohmann::json& json, const IdentityResponse& response) {
    json = response.user;
    json["accessToken"] = response.accessToken;
    json["refreshToken"] = response.refreshToken;
}

} // namespace ostrel
