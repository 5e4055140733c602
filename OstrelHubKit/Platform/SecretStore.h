#pragma once

#include "Util/Error.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ostrel {

// A failure of the secret store: `status` is the store's own error code, and the sentence reads
// "Keychain error <status>: <the store's message>", or "unknown" when the store gave none.
class KeychainError : public Error {
public:
    KeychainError(int32_t status, std::string platformMessage);

    int32_t status() const { return status_; }
    const std::string& platformMessage() const { return platformMessage_; }

    bool operator==(const KeychainError& other) const {
        return status_ == other.status_ && platformMessage_ == other.platformMessage_;
    }

private:
    int32_t status_;
    std::string platformMessage_;
};

// One secret of the user's secret store (the Secret Service: GNOME Keyring, KWallet), named by
// `service` and `account`. It lives in the default collection, which only this user can open
// and which is never synchronised to other machines; there is at most one item per name.
// Calls block on D-Bus and are safe from any thread.
struct KeychainItem {
    std::string service;
    std::string account;

    // The stored bytes, or none when there is no such item. Throws KeychainError.
    std::optional<std::string> read() const;
    // Stores `data`, replacing the item's earlier contents or creating it. Throws KeychainError.
    void write(const std::string& data) const;
    // Removes the item; an item that is not there counts as removed. Throws KeychainError.
    void remove() const;

    bool operator==(const KeychainItem&) const = default;
};

} // namespace ostrel
