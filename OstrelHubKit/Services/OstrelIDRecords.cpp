#include "Services/OstrelIDRecords.h"

namespace ostrel {

std::string_view id(OstrelIDProvider provider) {
    switch (provider) {
    case OstrelIDProvider::apple:
        return "apple";
    case OstrelIDProvider::google:
        return "google";
    case OstrelIDProvider::github:
        return "github";
    }
    return {};
}

std::string_view title(OstrelIDProvider provider) {
    switch (provider) {
    case OstrelIDProvider::apple:
        return "Apple";
    case OstrelIDProvider::google:
        return "Google";
    case OstrelIDProvider::github:
        return "GitHub";
    }
    return {};
}

std::optional<OstrelIDProvider> ostrelIDProviderFromId(std::string_view text) {
    for (const auto provider : allOstrelIDProviders)
        if (id(provider) == text)
            return provider;
    return std::nullopt;
}

void readJson(const JsonReader& in, OstrelIDUser& out) {
    out = {
        .id = in.required<std::string>("id"),
        .email = in.required<std::string>("email"),
        .createdAt = in.optional<std::string>("createdAt"),
        .emailVerifiedAt = in.optional<std::string>("emailVerifiedAt"),
    };
}

void to_json(nlohmann::json& json, const OstrelIDUser& user) {
    json = {{"id", user.id}, {"email", user.email}};
    writeOptional(json, "createdAt", user.createdAt);
    writeOptional(json, "emailVerifiedAt", user.emailVerifiedAt);
}

void readJson(const JsonReader& in, OstrelIDConnection& out) {
    out = {
        .provider = in.required<std::string>("provider"),
        .email = in.optional<std::string>("email"),
        .linkedAt = in.optional<std::string>("linkedAt"),
    };
}

void to_json(nlohmann::json& json, const OstrelIDConnection& connection) {
    json = {{"provider", connection.provider}};
    writeOptional(json, "email", connection.email);
    writeOptional(json, "linkedAt", connection.linkedAt);
}

void readJson(const JsonReader& in, OstrelIDProfile& out) {
    out = {
        .user = in.required<OstrelIDUser>("user"),
        .externalAccounts = in.optional<std::vector<OstrelIDConnection>>("externalAccounts"),
        .linkedEmails = in.optional<std::vector<std::string>>("linkedEmails"),
        .recoveryCodesRemaining = in.optional<int64_t>("recoveryCodesRemaining"),
        .products = in.optional<std::vector<std::string>>("products"),
    };
}

void to_json(nlohmann::json& json, const OstrelIDProfile& profile) {
    json = {{"user", profile.user}};
    writeOptional(json, "externalAccounts", profile.externalAccounts);
    writeOptional(json, "linkedEmails", profile.linkedEmails);
    writeOptional(json, "recoveryCodesRemaining", profile.recoveryCodesRemaining);
    writeOptional(json, "products", profile.products);
}

void readJson(const JsonReader& in, OstrelIDSession& out) {
    out = {
        .id = in.required<std::string>("id"),
        .label = in.required<std::string>("label"),
        .current = in.optional<bool>("current"),
        .createdAt = in.optional<std::string>("createdAt"),
        .lastSeenAt = in.optional<std::string>("lastSeenAt"),
    };
}

void to_json(nlohmann::json& json, const OstrelIDSession& session) {
    json = {{"id", session.id}, {"label", session.label}};
    writeOptional(json, "current", session.current);
    writeOptional(json, "createdAt", session.createdAt);
    writeOptional(json, "lastSeenAt", session.lastSeenAt);
}

void readJson(const JsonReader& in, OstrelIDPurchase& out) {
    out = {
        .id = in.required<std::string>("id"),
        .productId = in.required<std::string>("productId"),
        .source = in.optional<std::string>("source"),
        .buyerEmail = in.optional<std::string>("buyerEmail"),
        .licenseeEmail = in.optional<std::string>("licenseeEmail"),
        .status = in.required<std::string>("status"),
        .purchasedAt = in.optional<std::string>("purchasedAt"),
        .gifted = in.optional<bool>("gifted"),
    };
}

void to_json(nlohmann::json& json, const OstrelIDPurchase& purchase) {
    json = {{"id", purchase.id}, {"productId", purchase.productId}, {"status", purchase.status}};
    writeOptional(json, "source", purchase.source);
    writeOptional(json, "buyerEmail", purchase.buyerEmail);
    writeOptional(json, "licenseeEmail", purchase.licenseeEmail);
    writeOptional(json, "purchasedAt", purchase.purchasedAt);
    writeOptional(json, "gifted", purchase.gifted);
}

} // namespace ostrel
