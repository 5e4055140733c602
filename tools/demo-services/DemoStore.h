#pragma once

#include "DemoCatalogue.h"
#include "DemoLog.h"
#include "Services/Order.h"
#include "Services/User.h"
#include "TokenSigner.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

namespace ostrel::demo {

// The store's accounts and orders, in memory for one run. Sessions are signed tokens, access and
// refresh alike, so they outlive a restart with the same token key. Safe to call from the
// server's threads at once.
class DemoStore {
public:
    using Clock = TokenSigner::Clock;

    struct Settings {
        std::chrono::seconds tokenLifetime{300};
        std::chrono::seconds settleDelay{3}; // from pressing Pay to "Paid"
        std::string checkoutBase;            // the checkout page's address, followed by the order id
        std::filesystem::path tokenKeyFile;  // the signing key of access and refresh tokens
    };

    static constexpr std::chrono::seconds refreshLifetime{30 * 24 * 3600};

    // Who sent a request: nobody, a customer with a valid access token, or a token that is
    // expired, forged or from an earlier run (the store answers 401 so the hub renews it).
    struct Caller {
        enum class State { anonymous, customer, invalid } state = State::anonymous;
        std::string customerId;
    };

    // What the checkout page shows and needs.
    struct Checkout {
        Order order;
        std::string returnUrl;
        std::string email; // the customer's address when the order was made signed in
    };

    DemoStore(const DemoCatalogue& catalogue, Settings settings, DemoLog log);

    std::optional<IdentityResponse> signIn(const std::string& email, const std::string& password);
    // None when the address already has an account. The confirmation code goes to the log.
    std::optional<IdentityResponse> signUp(const std::string& name, const std::string& email,
                                           const std::string& password);
    std::optional<IdentityResponse> refresh(const std::string& refreshToken);
    bool confirmAccount(const std::string& email, const std::string& code);
    void forgotPassword(const std::string& email);

    // `authorization` is the request's Authorization header, if any.
    Caller caller(const std::optional<std::string>& authorization) const;
    std::optional<User> user(const std::string& customerId) const;
    // The products the customer owns; none for an anonymous caller.
    std::set<std::string> owned(const std::string& customerId) const;
    // The products owned by the store account of `email`, if there is one.
    std::set<std::string> ownedBy(const std::string& email) const;

    // Creates or replaces order `id`; a text says what is wrong with it instead.
    std::variant<Order, std::string> putOrder(const std::string& id, const std::string& currency,
                                              const std::vector<OrderLineItem>& items, const std::string& returnUrl,
                                              const std::string& customerId);
    std::optional<Order> order(const std::string& id) const;
    std::optional<Checkout> checkout(const std::string& id) const;
    // Pays an open order as `email` (an account is made for an unknown address), hands over its
    // products, and returns the address the checkout page goes to next.
    std::optional<std::string> pay(const std::string& id, const std::string& email);
    std::optional<std::string> decline(const std::string& id);

private:
    struct Customer {
        std::string id;
        std::string email;
        std::string name;
        std::string password;
        bool confirmed = true;
        std::optional<std::string> confirmationCode;
        std::set<std::string> owned;
    };
    struct StoredOrder {
        Order order;
        std::string returnUrl;
        std::string customerId;
        std::optional<Clock::time_point> paidAt;
    };

    IdentityResponse sessionFor(const Customer& customer);
    User userOf(const Customer& customer) const;
    Customer* customerByEmail(const std::string& email);
    const Customer* customerByEmail(const std::string& email) const;
    Order current(const StoredOrder& stored) const;
    std::set<std::string> productsOf(const Order& order) const;

    const DemoCatalogue& catalogue_;
    const Settings settings_;
    const DemoLog log_;
    const TokenSigner signer_;
    mutable std::mutex lock_;
    std::map<std::string, Customer> customers_; // by id; guarded by lock_
    std::map<std::string, StoredOrder> orders_; // by id; guarded by lock_
};

} // namespace ostrel::demo
