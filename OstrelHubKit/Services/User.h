#pragma once

#include "Services/JsonReader.h"

#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// The signed-in store customer.
struct User {
    std::string id{};
    std::string email{};
    std::string name{};
    std::optional<std::string> tenantId{};
    std::optional<std::vector<std::string>> ownedProducts{};
    std::optional<bool> confirmedAccount{};

    bool operator==(const User&) const = default;
};

void readJson(const JsonReader& in, User& out);
void to_json(nlohmann::json& json, const User& user);

// The answer of sign-in, sign-up and token refresh: the user's fields and the
// two tokens side by side in one object (the user is not nested).
struct IdentityResponse {
    User user{};
    std::string accessToken{};
    std::string refreshToken{};

    bool operator==(const IdentityResponse&) const = default;
};

void readJson(const JsonReader& in, IdentityResponse& out);
void to_json(nlohmann::json& json, const IdentityResponse& response);

} // namespace ostrel
