#include "Services/KeychainTokenPersistence.h"

namespace ostrel {

std::optional<SessionTokens> KeychainTokenPersistence::load() {
    // A locked or unreachable store and unreadable contents all look like being signed out.
    try {
        auto data = item_.read();
        return data ? SessionTokens::fromJson(*data) : std::nullopt;
    } catch (const KeychainError&) {
        return std::nullopt;
    }
}

void KeychainTokenPersistence::save(const SessionTokens& tokens) {
    item_.write(tokens.toJson());
}

void KeychainTokenPersistence::clear() {
    item_.remove();
}

} // namespace ostrel
