#pragma once

#include "DemoCatalogue.h"
#include "DemoLog.h"
#include "DemoStore.h"
#include "TokenSigner.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>

namespace ostrel::demo {

// Ostrel ID: e-mailed codes (written to the log), browser sign-in with PKCE, signed-in devices
// and purchases. Any address may sign in with a code; browser sign-in always signs in the
// catalogue's first customer. The signed-in devices are kept in a file, and tokens are signed
// with a kept key, so sessions outlive a restart. Safe to call from several threads.
class DemoIdentity {
public:
    using Clock = TokenSigner::Clock;

    static constexpr std::chrono::seconds codeLifetime{600};
    static constexpr std::chrono::seconds tokenLifetime{30 * 24 * 3600};

    // The signed-in caller of an authorised request.
    struct Account {
        std::string email;
        std::string sessionId;
    };

    // `keyFile` holds the token signing key, `sessionsFile` the signed-in devices.
    DemoIdentity(const DemoCatalogue& catalogue, const DemoStore& store, const std::filesystem::path& keyFile,
                 std::filesystem::path sessionsFile, DemoLog log);

    void requestCode(const std::string& email);
    // The new session's token, or none for a wrong or used code.
    std::optional<std::string> completeCode(const std::string& email, const std::string& code,
                                            const std::string& label);
    // Remembers the PKCE challenge and returns the one-time code for the loopback callback.
    std::string startBrowserSignIn(const std::string& provider, const std::string& challenge);
    // The new session's token when `verifier` belongs to the code's challenge; codes work once.
    std::optional<std::string> exchange(const std::string& code, const std::string& verifier, const std::string& label);

    // `authorization` is the request's Authorization header, if any.
    std::optional<Account> authenticate(const std::optional<std::string>& authorization);
    nlohmann::json profile(const Account& account) const;
    nlohmann::json sessions(const Account& account) const;
    bool revoke(const Account& account, const std::string& sessionId);
    void signOut(const Account& account);
    nlohmann::json purchases(const Account& account) const;
    // Why the account may review the product ("purchase", "free"), or none.
    std::optional<std::string> reviewBasis(const std::string& email, const std::string& productId) const;

private:
    struct PendingCode {
        std::string code;
        Clock::time_point expires;
    };
    struct BrowserCode {
        std::string challenge;
        std::string provider;
        Clock::time_point expires;
    };
    struct Session {
        std::string email;
        std::string label;
        std::string createdAt;
        std::string lastSeenAt;
    };

    std::string openSession(const std::string& email, const std::string& label);
    std::set<std::string> addressesOf(const std::string& email) const;
    std::set<std::string> productsOf(const std::string& email) const;
    bool isDemoCustomer(const std::string& email) const;
    // Writes the sessions and first sign-ins to the sessions file; the caller holds lock_.
    void save() const;
    void load();

    const DemoCatalogue& catalogue_;
    const DemoStore& store_;
    const DemoLog log_;
    const TokenSigner signer_;
    const std::filesystem::path sessionsFile_;
    mutable std::mutex lock_;
    std::map<std::string, PendingCode> codes_;        // by e-mail; guarded by lock_
    std::map<std::string, BrowserCode> browserCodes_; // by code; guarded by lock_
    std::map<std::string, Session> sessions_;         // by id; guarded by lock_
    std::map<std::string, std::string> firstSeen_;    // e-mail → account creation time; guarded by lock_
};

} // namespace ostrel::demo
