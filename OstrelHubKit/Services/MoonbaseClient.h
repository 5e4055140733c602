#pragma once

#include "Services/Deadline.h"
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
#include <stop_token>
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
// Only a 2xx answer counts as success, unless an operation names other statuses it expects; a
// redirect is never followed and fails like any other unexpected answer. Every operation has
// one deadline for all its requests together (pages, a renewal and its retry); once it has
// passed, nothing more is sent and the operation fails as timed out.
//
// Besides MoonbaseError, calls pass on TransportError (no answer at all, or the deadline
// passed), errors of the persistence when a new session cannot be saved, and Cancelled for
// callers whose shared renewal was dropped by signOut() or by a new sign-in, or whose stop was
// requested. Every failure's detail is logged under Log::Category::store.
class MoonbaseClient {
public:
    // Pages read by ownedProducts() at most, whatever the store says about more.
    static constexpr std::size_t maxPages = 50;

    // The transport and the persistence must outlive the client. The stored session is not
    // read until it is first needed.
    MoonbaseClient(HostPolicy policy, HTTPTransport& transport, TokenPersistence& persistence,
                   OperationTiming timing = {});
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
    // Every page of the customer's products, at most maxPages of them, within one deadline.
    // A stop request ends it with Cancelled, between pages or during one.
    std::vector<ProductSummary> ownedProducts(std::stop_token stop = {});
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
    // One public operation: every request it makes shares its deadline and its stop.
    struct Operation {
        Deadline deadline;
        std::stop_token stop = {};
    };

    Operation begin(std::stop_token stop = {}) const;
    HTTPResponse send(const Call& call, const Operation& operation);
    HTTPResponse sendOnce(const Call& call, const Operation& operation);
    HTTPRequest request(const Call& call, const Operation& operation, bool withSession);
    Url storeUrl(std::string_view path) const;
    void checkStatus(const HTTPResponse& response, const Call& call) const;
    User adopt(const HTTPResponse& response);
    template <class T>
    T fetch(const Call& call);

    Session session();
    std::optional<std::string> validAccessToken(const Operation& operation);
    Session refresh(bool force, const Operation& operation);
    Session awaitRefresh(std::shared_future<Session> result, const Operation& operation) const;
    Session requestRefresh(const SessionTokens& current, const Operation& operation);
    Session settleRefresh(const std::shared_ptr<Refresh>& flight, Session fresh, std::exception_ptr failure);

    // Callers hold lock_.
    Session& loadedTokens();
    void replaceSession(Session tokens);
    void forgetSession();
    void save(const SessionTokens& tokens);

    const HostPolicy policy_;
    HTTPTransport& transport_;
    TokenPersistence& persistence_;
    const OperationTiming timing_;

    std::mutex lock_;
    std::optional<Session> tokens_;   // outer empty: not loaded yet
    std::shared_ptr<Refresh> flight_; // the renewal in flight, shared by all who wait for it
};

} // namespace ostrel
