#pragma once

#include "Services/Download.h"
#include "Services/HTTPTransport.h"
#include "Services/HostPolicy.h"
#include "Services/Order.h"
#include "Services/ProductSummary.h"
#include "Services/SessionTokens.h"
#include "Services/Storefront.h"
#include "Services/TokenPersistence.h"
#include "Services/User.h"
#include "Util/Url.h"

#include <cstddef>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// The hub's only way to talk to the store's customer API. It owns the store session, attaches
// it to every request while one exists, renews it shortly before it runs out and after a 401,
// and turns every failed answer into a MoonbaseError. Safe to call from many threads at once:
// the session lives behind a mutex, requests run concurrently outside it, and however many
// callers find the session due for renewal, one refresh request serves them all.
//
// Besides MoonbaseError, calls pass on TransportError (no answer at all), errors of the
// persistence when a new session cannot be saved, and Cancelled for callers whose shared
// renewal was dropped by signOut() or by a new sign-in.
class MoonbaseClient {
public:
    // Pages read by ownedProducts() at most, whatever the store says about more.
    static constexpr std::size_t maxPages = 50;

    // The transport and the persistence must outlive the client. The stored session is not
    // read until it is first needed.
    MoonbaseClient(HostPolicy policy, HTTPTransport& transport, TokenPersistence& persistence);
    MoonbaseClient(const MoonbaseClient&) = delete;
    MoonbaseClient& operator=(const MoonbaseClient&) = delete;
    ~MoonbaseClient();

    // Account. A successful sign-in or sign-up becomes the session and is saved.
    User signIn(std::string_view email, std::string_view password);
    User signUp(std::string_view name, std::string_view email, std::string_view password, bool newsletter);
    void confirmAccount(std::string_view email, std::string_view code);
    void forgotPassword(std::string_view email);
    User currentUser();

    // Catalog and inventory.
    Storefront storefront();
    ProductSummary product(std::string_view productId);
    // Every page of the customer's products, at most maxPages of them.
    std::vector<ProductSummary> ownedProducts();
    // The object-store address a file is downloaded from.
    Url resolveDownload(const Download& download);

    // Orders for checkout.
    Order pushOrder(std::string_view orderId, std::string_view currency, const std::vector<OrderLineItem>& items,
                    const Url& returnURL);
    Order order(std::string_view orderId);

    // Forgets the session here and in the persistence (errors of clearing are ignored) and drops
    // any renewal in flight: its waiting callers get Cancelled and its result is never kept.
    void signOut();
    bool isSignedIn();

private:
    struct Refresh;
    using Session = std::optional<SessionTokens>;

    struct Call {
        std::string path;
        std::string method = "GET";
        std::string body = {};
        std::string contentType = "application/json";
        bool authenticated = false;
    };

    HTTPResponse send(const Call& call);
    HTTPRequest request(const Call& call);
    Url storeUrl(std::string_view path) const;
    void checkStatus(const HTTPResponse& response) const;
    User adopt(const HTTPResponse& response);

    Session session();
    std::optional<std::string> validAccessToken();
    Session refresh(bool force);
    Session requestRefresh(const SessionTokens& current);
    Session settleRefresh(const std::shared_ptr<Refresh>& flight, Session fresh, std::exception_ptr failure);

    // Callers hold lock_.
    Session& loadedTokens();
    void replaceSession(Session tokens);
    void forgetSession();

    const HostPolicy policy_;
    HTTPTransport& transport_;
    TokenPersistence& persistence_;

    std::mutex lock_;
    std::optional<Session> tokens_;   // outer empty: not loaded yet
    std::shared_ptr<Refresh> flight_; // the renewal in flight, shared by all who wait for it
};

} // namespace ostrel
