#pragma once

#include "Platform/SecretStore.h"
#include "Services/TokenPersistence.h"

#include <string>
#include <utility>

namespace ostrel {

// A session kept in the user's secret store as the JSON form of SessionTokens. Holds no state
// of its own: the store serialises access to the item.
class KeychainTokenPersistence final : public TokenPersistence {
public:
    // The one service name of the hub and its two sessions.
    static constexpr const char* serviceName = "com.ostrel.hub";
    static constexpr const char* storeAccount = "moonbase-session";
    static constexpr const char* identityAccount = "ostrel-id-session";

    KeychainTokenPersistence(std::string service, std::string account)
        : item_{std::move(service), std::move(account)} {}

    const KeychainItem& item() const { return item_; }

    std::optional<SessionTokens> load() override;
    void save(const SessionTokens& tokens) override;
    void clear() override;

private:
    KeychainItem item_;
};

} // namespace ostrel
