#pragma once

#include "Services/JsonReader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// The accounts a browser sign-in to the Ostrel ID can go through.
enum class OstrelIDProvider { apple, google, github };

inline constexpr std::array<OstrelIDProvider, 3> allOstrelIDProviders{OstrelIDProvider::apple, OstrelIDProvider::google,
                                                                      OstrelIDProvider::github};

// "apple", "google", "github": the name the identity service knows the provider by.
std::string_view id(OstrelIDProvider provider);
// The name shown on the sign-in button.
std::string_view title(OstrelIDProvider provider);
// The provider of that exact name, or none.
std::optional<OstrelIDProvider> ostrelIDProviderFromId(std::string_view id);

// The records of the identity service. Times stay text, as sent.
struct OstrelIDUser {
    std::string id{};
    std::string email{};
    std::optional<std::string> createdAt{};
    std::optional<std::string> emailVerifiedAt{};

    bool operator==(const OstrelIDUser&) const = default;
};

// An external account linked to the Ostrel ID.
struct OstrelIDConnection {
    std::string provider{};
    std::optional<std::string> email{};
    std::optional<std::string> linkedAt{};

    bool operator==(const OstrelIDConnection&) const = default;
};

struct OstrelIDProfile {
    OstrelIDUser user{};
    std::optional<std::vector<OstrelIDConnection>> externalAccounts{};
    std::optional<std::vector<std::string>> linkedEmails{};
    std::optional<int64_t> recoveryCodesRemaining{};
    std::optional<std::vector<std::string>> products{}; // identifiers of products the account holds

    bool operator==(const OstrelIDProfile&) const = default;
};

// A device signed in to the Ostrel ID.
struct OstrelIDSession {
    std::string id{};
    std::string label{};
    std::optional<bool> current{}; // this device
    std::optional<std::string> createdAt{};
    std::optional<std::string> lastSeenAt{};

    bool operator==(const OstrelIDSession&) const = default;
};

// A purchase recorded under one of the user's addresses.
struct OstrelIDPurchase {
    std::string id{};
    std::string productId{};
    std::optional<std::string> source{};
    std::optional<std::string> buyerEmail{};
    std::optional<std::string> licenseeEmail{}; // the address the purchase is registered to
    std::string status{};
    std::optional<std::string> purchasedAt{};
    std::optional<bool> gifted{};

    bool operator==(const OstrelIDPurchase&) const = default;
};

void readJson(const JsonReader& in, OstrelIDUser& out);
void to_json(nlohmann::json& json, const OstrelIDUser& user);
void readJson(const JsonReader& in, OstrelIDConnection& out);
void to_json(nlohmann::json& json, const OstrelIDConnection& connection);
void readJson(const JsonReader& in, OstrelIDProfile& out);
void to_json(nlohmann::json& json, const OstrelIDProfile& profile);
void readJson(const JsonReader& in, OstrelIDSession& out);
void to_json(nlohmann::json& json, const OstrelIDSession& session);
void readJson(const JsonReader& in, OstrelIDPurchase& out);
void to_json(nlohmann::json& json, const OstrelIDPurchase& purchase);

} // namespace ostrel
