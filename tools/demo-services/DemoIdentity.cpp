#include "DemoIdentity.h"

#include "DemoRandom.h"
#include "DemoText.h"
#include "Util/AtomicFile.h"
#include "Util/Base64.h"
#include "Util/Iso8601.h"

#include <algorithm>

#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace ostrel::demo {

namespace {

using nlohmann::json;

constexpr std::string_view bearerPrefix = "Bearer ";

std::string nowText() {
    return Iso8601::format(std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
}

std::string s256(const std::string& verifier) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_Digest(verifier.data(), verifier.size(), digest, &length, EVP_sha256(), nullptr);
    return base64UrlEncode(std::string_view(reinterpret_cast<const char*>(digest), length));
}

bool sameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

} // namespace

DemoIdentity::DemoIdentity(const DemoCatalogue& catalogue, const DemoStore& store, const std::filesystem::path& keyFile,
                           std::filesystem::path sessionsFile, DemoLog log)
    : catalogue_(catalogue), store_(store), log_(std::move(log)), signer_(keyFile),
      sessionsFile_(std::move(sessionsFile)) {
    load();
}

// A file that is missing or unreadable starts the service with no one signed in.
void DemoIdentity::load() {
    const auto saved = json::parse(AtomicFile::read(sessionsFile_, 16 * 1024 * 1024).value_or(""), nullptr, false);
    if (!saved.is_object())
        return;
    try {
        const auto sessions = saved.value("sessions", json::object());
        for (const auto& [id, session] : sessions.items())
            sessions_.emplace(
                id, Session{session.at("email").get<std::string>(), session.at("label").get<std::string>(),
                            session.at("createdAt").get<std::string>(), session.at("lastSeenAt").get<std::string>()});
        firstSeen_ = saved.value("firstSeen", std::map<std::string, std::string>{});
    } catch (const json::exception& error) {
        log_(std::string("identity: the kept sessions cannot be read, so nobody is signed in: ") + error.what());
        sessions_.clear();
    }
}

void DemoIdentity::save() const {
    json sessions = json::object();
    for (const auto& [id, session] : sessions_)
        sessions[id] = {{"email", session.email},
                        {"label", session.label},
                        {"createdAt", session.createdAt},
                        {"lastSeenAt", session.lastSeenAt}};
    AtomicFile::write(sessionsFile_, json{{"sessions", sessions}, {"firstSeen", firstSeen_}}.dump());
}

bool DemoIdentity::isDemoCustomer(const std::string& email) const {
    return !catalogue_.customers.empty() && lowercased(catalogue_.customers.front().email) == lowercased(email);
}

// An account is its address in lower case, however it was typed.
void DemoIdentity::requestCode(const std::string& typedEmail) {
    const auto email = lowercased(typedEmail);
    const auto code = randomCode(6);
    {
        const std::lock_guard guard(lock_);
        codes_[email] = PendingCode{code, Clock::now() + codeLifetime};
    }
    log_("identity: sign-in code for " + email + ": " + code);
}

std::string DemoIdentity::openSession(const std::string& email, const std::string& label) {
    const auto id = "ses-" + randomToken(9);
    const auto now = nowText();
    sessions_.emplace(id, Session{email, label, now, now});
    firstSeen_.try_emplace(email, now);
    save();
    return signer_.issue({{"sub", email}, {"sid", id}, {"aud", "ostrel-id"}}, tokenLifetime, Clock::now());
}

std::optional<std::string> DemoIdentity::completeCode(const std::string& typedEmail, const std::string& code,
                                                      const std::string& label) {
    const auto email = lowercased(typedEmail);
    const std::lock_guard guard(lock_);
    const auto found = codes_.find(email);
    if (found == codes_.end() || found->second.expires < Clock::now() || !sameText(found->second.code, code))
        return std::nullopt;
    codes_.erase(found);
    return openSession(email, label);
}

std::string DemoIdentity::startBrowserSignIn(const std::string& provider, const std::string& challenge) {
    const auto code = randomToken(24);
    const std::lock_guard guard(lock_);
    browserCodes_[code] = BrowserCode{challenge, provider, Clock::now() + codeLifetime};
    return code;
}

std::optional<std::string> DemoIdentity::exchange(const std::string& code, const std::string& verifier,
                                                  const std::string& label) {
    const std::lock_guard guard(lock_);
    const auto found = browserCodes_.find(code);
    if (found == browserCodes_.end())
        return std::nullopt;
    const BrowserCode pending = found->second;
    browserCodes_.erase(found);
    if (pending.expires < Clock::now() || !sameText(pending.challenge, s256(verifier)) || catalogue_.customers.empty())
        return std::nullopt;
    log_("identity: browser sign-in through " + pending.provider + " completed");
    return openSession(catalogue_.customers.front().email, label);
}

std::optional<DemoIdentity::Account> DemoIdentity::authenticate(const std::optional<std::string>& authorization) {
    if (!authorization || !authorization->starts_with(bearerPrefix))
        return std::nullopt;
    const auto claims = signer_.verify(std::string_view(*authorization).substr(bearerPrefix.size()), Clock::now());
    if (!claims || claims->value("aud", "") != "ostrel-id")
        return std::nullopt;
    const std::lock_guard guard(lock_);
    const auto session = sessions_.find(claims->value("sid", ""));
    if (session == sessions_.end())
        return std::nullopt;                // revoked or signed out
    session->second.lastSeenAt = nowText(); // reaches the file with the next sign-in or sign-out
    return Account{session->second.email, session->first};
}

std::set<std::string> DemoIdentity::addressesOf(const std::string& email) const {
    std::set<std::string> addresses{email};
    if (isDemoCustomer(email))
        for (const auto& linked : catalogue_.identity.value("linkedEmails", std::vector<std::string>{}))
            addresses.insert(linked);
    return addresses;
}

std::set<std::string> DemoIdentity::productsOf(const std::string& email) const {
    std::set<std::string> products;
    for (const auto& address : addressesOf(email)) {
        const auto owned = store_.ownedBy(address);
        products.insert(owned.begin(), owned.end());
    }
    if (isDemoCustomer(email))
        for (const auto& gift : catalogue_.identity.value("giftedPurchases", json::array()))
            products.insert(gift.at("productId").get<std::string>());
    return products;
}

json DemoIdentity::profile(const Account& account) const {
    json user{{"id", "oid-" + base64UrlEncode(account.email).substr(0, 12)}, {"email", account.email}};
    {
        const std::lock_guard guard(lock_);
        if (const auto found = firstSeen_.find(account.email); found != firstSeen_.end()) {
            user["createdAt"] = found->second;
            user["emailVerifiedAt"] = found->second;
        }
    }
    const auto addresses = addressesOf(account.email);
    std::vector<std::string> linked;
    std::copy_if(addresses.begin(), addresses.end(), std::back_inserter(linked),
                 [&](const std::string& a) { return a != account.email; });
    return json{{"user", user},
                {"externalAccounts", isDemoCustomer(account.email)
                                         ? catalogue_.identity.value("externalAccounts", json::array())
                                         : json::array()},
                {"linkedEmails", linked},
                {"recoveryCodesRemaining", 8},
                {"products", productsOf(account.email)}};
}

json DemoIdentity::sessions(const Account& account) const {
    json list = json::array();
    const std::lock_guard guard(lock_);
    for (const auto& [id, session] : sessions_)
        if (session.email == account.email)
            list.push_back({{"id", id},
                            {"label", session.label},
                            {"current", id == account.sessionId},
                            {"createdAt", session.createdAt},
                            {"lastSeenAt", session.lastSeenAt}});
    return json{{"sessions", list}};
}

bool DemoIdentity::revoke(const Account& account, const std::string& sessionId) {
    const std::lock_guard guard(lock_);
    const auto found = sessions_.find(sessionId);
    if (found == sessions_.end() || found->second.email != account.email)
        return false;
    sessions_.erase(found);
    save();
    return true;
}

void DemoIdentity::signOut(const Account& account) {
    const std::lock_guard guard(lock_);
    sessions_.erase(account.sessionId);
    save();
}

json DemoIdentity::purchases(const Account& account) const {
    json list = json::array();
    for (const auto& address : addressesOf(account.email))
        for (const auto& productId : store_.ownedBy(address))
            list.push_back({{"id", "pur-" + productId + "-" + base64UrlEncode(address).substr(0, 6)},
                            {"productId", productId},
                            {"source", "store"},
                            {"buyerEmail", address},
                            {"licenseeEmail", address},
                            {"status", "completed"}});
    if (isDemoCustomer(account.email))
        for (const auto& gift : catalogue_.identity.value("giftedPurchases", json::array())) {
            json purchase = gift;
            purchase["id"] = "pur-gift-" + gift.at("productId").get<std::string>();
            purchase["status"] = "completed";
            purchase["gifted"] = true;
            list.push_back(purchase);
        }
    return json{{"purchases", list}};
}

std::optional<std::string> DemoIdentity::reviewBasis(const std::string& email, const std::string& productId) const {
    if (productsOf(email).contains(productId))
        return "purchase";
    if (const auto* product = catalogue_.product(productId); product && product->isFree())
        return "free";
    return std::nullopt;
}

} // namespace ostrel::demo
