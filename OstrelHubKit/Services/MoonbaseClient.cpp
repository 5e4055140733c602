#include "Services/MoonbaseClient.h"

#include "Services/AnswerDecoding.h"
#include "Services/HttpStatus.h"
#include "Services/MoonbaseError.h"
#include "Services/Paged.h"
#include "Services/Problem.h"

#include <algorithm>

namespace ostrel {

namespace {

// Every store request may take up to a minute, longer than the transport's default.
constexpr std::chrono::milliseconds requestTimeout = std::chrono::seconds(60);

// The store's answer to a download-link request.
struct DownloadLink {
    std::string location;
};

void readJson(const JsonReader& in, DownloadLink& out) {
    in.expectObject();
    out.location = in.required<std::string>("location");
}

std::string queryValue(std::string_view value) {
    return percentEncode(value, AllowedCharacters::queryValue());
}

std::string pathPiece(std::string_view piece) {
    return percentEncode(piece, AllowedCharacters::pathPiece());
}

// A code pasted from an e-mail may have lost its "+" to a blank on the way.
std::string pastedCode(std::string_view code) {
    const auto first = code.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    std::string trimmed(code.substr(first, code.find_last_not_of(" \t") - first + 1));
    std::replace(trimmed.begin(), trimmed.end(), ' ', '+');
    return trimmed;
}

std::vector<HTTPHeader> storeHeaders(std::string contentType) {
    return {{"Accept", "application/json"}, {"Content-Type", std::move(contentType)}, {"x-mb-cors", "1"}};
}

SessionTokens::Clock::time_point now() {
    return SessionTokens::Clock::now();
}

} // namespace

// A renewal in flight. Whoever started it settles it; everybody else waits on `result`.
struct MoonbaseClient::Refresh {
    std::promise<Session> promise;
    std::shared_future<Session> result = promise.get_future().share();
};

MoonbaseClient::MoonbaseClient(HostPolicy policy, HTTPTransport& transport, TokenPersistence& persistence)
    : policy_(std::move(policy)), transport_(transport), persistence_(persistence) {}

MoonbaseClient::~MoonbaseClient() = default;

// MARK: Account

User MoonbaseClient::signIn(std::string_view email, std::string_view password) {
    const auto response = transport_.send(request({
        .path = "/api/customer/identity/sign-in?email=" + queryValue(email) + "&scheme=JWT",
        .method = "POST",
        .body = std::string(password),
        .contentType = "text/plain",
    }));
    if (response.status == 400 || response.status == 401 || response.status == 404)
        throw MoonbaseError::invalidCredentials();
    checkStatus(response);
    return adopt(response);
}

User MoonbaseClient::signUp(std::string_view name, std::string_view email, std::string_view password, bool newsletter) {
    const nlohmann::json body = {
        {"name", name},
        {"email", email},
        {"password", password},
        {"address", nullptr},
        {"acceptedPrivacyPolicy", true},
        {"acceptedTermsAndConditions", true},
    };
    const auto response = transport_.send(request({
        .path = std::string("/api/customer/identity/sign-up?scheme=JWT&communicationOptIn=") +
                (newsletter ? "true" : "false"),
        .method = "POST",
        .body = body.dump(),
    }));
    checkStatus(response);
    return adopt(response);
}

void MoonbaseClient::confirmAccount(std::string_view email, std::string_view code) {
    send({
        .path = "/api/customer/identity/confirm-account?email=" + queryValue(email) +
                "&code=" + queryValue(pastedCode(code)),
        .method = "POST",
    });
}

void MoonbaseClient::forgotPassword(std::string_view email) {
    send({.path = "/api/customer/identity/forgot-password?email=" + queryValue(email), .method = "POST"});
}

User MoonbaseClient::currentUser() {
    return decodeAnswer<User>(send({.path = "/api/customer/meta/user", .authenticated = true}).body);
}

// MARK: Catalog and inventory

Storefront MoonbaseClient::storefront() {
    return decodeAnswer<Storefront>(send({.path = "/api/customer/storefront"}).body);
}

ProductSummary MoonbaseClient::product(std::string_view productId) {
    return decodeAnswer<ProductSummary>(
        send({.path = "/api/customer/inventory/products/" + pathPiece(productId)}).body);
}

std::vector<ProductSummary> MoonbaseClient::ownedProducts() {
    std::vector<ProductSummary> all;
    std::string path = "/api/customer/inventory/products";
    for (std::size_t pages = 1;; ++pages) {
        auto page = decodeAnswer<Paged<ProductSummary>>(send({.path = path, .authenticated = true}).body);
        std::move(page.items.begin(), page.items.end(), std::back_inserter(all));
        if (!page.hasMore || !page.next)
            return all;
        // A token or a relative address is taken as the next path; an absolute one must stay on the store.
        const auto next = Url::parse(*page.next);
        if (next && next->host() && !policy_.allowsAPI(*next))
            throw MoonbaseError::blockedURL(*page.next);
        path = next && next->host() ? next->pathAndQuery() : *page.next;
        if (pages == maxPages)
            return all;
    }
}

Url MoonbaseClient::resolveDownload(const Download& download) {
    const auto stored = download.path ? Url::parse(*download.path) : std::nullopt;
    if (!stored || !policy_.allowsAPI(*stored))
        throw MoonbaseError::blockedURL(download.path.value_or("(no path)"));
    const auto linkRequest = stored->appendingQueryItem("redirect", "false");
    const auto link =
        decodeAnswer<DownloadLink>(send({.path = linkRequest.pathAndQuery(), .authenticated = true}).body);
    // The store hands out addresses with raw blanks now and then; escape only what is illegal.
    const auto location = Url::parse(percentEncode(link.location, AllowedCharacters::downloadLocation()));
    if (!location || !policy_.allowsDownload(*location))
        throw MoonbaseError::blockedURL(link.location);
    return *location;
}

// MARK: Orders

Order MoonbaseClient::pushOrder(std::string_view orderId, std::string_view currency,
                                const std::vector<OrderLineItem>& items, const Url& returnURL) {
    const nlohmann::json body = {{"currency", currency}, {"items", items}};
    return decodeAnswer<Order>(send({
                                        .path = "/api/customer/orders/" + pathPiece(orderId) +
                                                "?checkout=true&returnUrl=" + queryValue(returnURL.text()),
                                        .method = "PATCH",
                                        .body = body.dump(),
                                    })
                                   .body);
}

Order MoonbaseClient::order(std::string_view orderId) {
    return decodeAnswer<Order>(send({.path = "/api/customer/orders/" + pathPiece(orderId)}).body);
}

// MARK: Session

void MoonbaseClient::signOut() {
    const std::lock_guard guard(lock_);
    forgetSession();
}

bool MoonbaseClient::isSignedIn() {
    return session().has_value();
}

MoonbaseClient::Session MoonbaseClient::session() {
    const std::lock_guard guard(lock_);
    return loadedTokens();
}

MoonbaseClient::Session& MoonbaseClient::loadedTokens() {
    if (!tokens_)
        tokens_ = persistence_.load();
    return *tokens_;
}

void MoonbaseClient::replaceSession(Session tokens) {
    tokens_ = std::move(tokens);
    // A renewal of the session we just replaced must not come back and overwrite it.
    if (flight_) {
        flight_->promise.set_exception(std::make_exception_ptr(Cancelled()));
        flight_.reset();
    }
}

void MoonbaseClient::forgetSession() {
    replaceSession(std::nullopt);
    try {
        persistence_.clear();
    } catch (const std::exception&) {
        // Signed out all the same: the session is gone from memory, and a stale stored one is
        // refused by the store at its next renewal.
    }
}

User MoonbaseClient::adopt(const HTTPResponse& response) {
    auto identity = decodeAnswer<IdentityResponse>(response.body);
    auto tokens = SessionTokens::issued(std::move(identity.accessToken), std::move(identity.refreshToken), now());
    const std::lock_guard guard(lock_);
    replaceSession(tokens);
    persistence_.save(tokens); // a failure still leaves the session in memory for this run
    return std::move(identity.user);
}

std::optional<std::string> MoonbaseClient::validAccessToken() {
    const auto current = session();
    if (!current)
        return std::nullopt;
    if (!current->needsRefresh(now()))
        return current->accessToken;
    const auto renewed = refresh(false);
    return renewed ? std::optional(renewed->accessToken) : std::nullopt;
}

MoonbaseClient::Session MoonbaseClient::refresh(bool force) {
    std::unique_lock lock(lock_);
    if (flight_) {
        const auto shared = flight_->result;
        lock.unlock();
        return shared.get();
    }
    const auto& tokens = loadedTokens();
    if (!tokens || (!force && !tokens->needsRefresh(now())))
        return tokens;
    const auto current = *tokens;
    const auto flight = std::make_shared<Refresh>();
    flight_ = flight;
    lock.unlock();

    Session fresh;
    std::exception_ptr failure;
    try {
        fresh = requestRefresh(current);
    } catch (...) {
        failure = std::current_exception();
    }
    return settleRefresh(flight, std::move(fresh), failure);
}

MoonbaseClient::Session MoonbaseClient::settleRefresh(const std::shared_ptr<Refresh>& flight, Session fresh,
                                                      std::exception_ptr failure) {
    const std::lock_guard guard(lock_);
    if (flight_ != flight) // signed out (or in anew) meanwhile; the waiters already know
        throw Cancelled();
    flight_.reset();
    if (failure) { // the old session stays, so the next request tries again
        flight->promise.set_exception(failure);
        std::rethrow_exception(failure);
    }
    flight->promise.set_value(fresh);
    if (!fresh) { // the store no longer takes this refresh token
        forgetSession();
        return fresh;
    }
    tokens_ = fresh;
    persistence_.save(*fresh);
    return fresh;
}

MoonbaseClient::Session MoonbaseClient::requestRefresh(const SessionTokens& current) {
    const auto response = transport_.send({
        .url = storeUrl("/api/customer/identity/refresh?token=" + queryValue(current.refreshToken)),
        .method = "POST",
        .headers = storeHeaders("text/plain"),
        .body = current.accessToken,
        .timeout = requestTimeout,
    });
    if (response.status == 401 || response.status == 403 || response.status == 404)
        return std::nullopt;
    checkStatus(response);
    auto identity = decodeAnswer<IdentityResponse>(response.body);
    return SessionTokens::issued(std::move(identity.accessToken), std::move(identity.refreshToken), now());
}

// MARK: Requests

HTTPResponse MoonbaseClient::send(const Call& call) {
    if (call.authenticated && !session())
        throw MoonbaseError::notSignedIn();
    auto response = transport_.send(request(call));
    if (response.status == 401 && session()) {
        if (!refresh(true))
            throw MoonbaseError::notSignedIn();
        response = transport_.send(request(call)); // once, with the new token
    }
    checkStatus(response); // a 401 that remains reads "Sign in to continue."
    return response;
}

HTTPRequest MoonbaseClient::request(const Call& call) {
    HTTPRequest out{
        .url = storeUrl(call.path),
        .method = call.method,
        .headers = storeHeaders(call.contentType),
        .body = call.body,
        .timeout = requestTimeout,
    };
    // Sent whenever there is a session, so public answers reflect what the customer owns.
    if (const auto token = validAccessToken())
        out.headers.push_back({"Authorization", "Bearer " + *token});
    return out;
}

Url MoonbaseClient::storeUrl(std::string_view path) const {
    const auto base = Url::parse("https://" + policy_.apiHost);
    auto url = base ? base->resolved(path) : std::nullopt;
    if (!url || !policy_.allowsAPI(*url))
        throw MoonbaseError::blockedURL(std::string(path));
    return std::move(*url);
}

void MoonbaseClient::checkStatus(const HTTPResponse& response) const {
    if (response.status < 400)
        return;
    const auto problem = Problem::fromBody(response.body);
    auto message =
        problem.detail.value_or(problem.title.value_or(std::string(HttpStatus::reasonPhrase(response.status))));
    switch (response.status) {
    case 401:
        throw MoonbaseError::notSignedIn();
    case 403:
        throw MoonbaseError::forbidden(std::move(message));
    case 404:
        throw MoonbaseError::notFound(std::move(message));
    default:
        throw MoonbaseError::server(response.status, std::move(message));
    }
}

} // namespace ostrel
