#include "Services/MoonbaseClient.h"

#include "Services/AnswerDecoding.h"
#include "Services/HttpStatus.h"
#include "Services/MoonbaseError.h"
#include "Services/Paged.h"
#include "Services/Problem.h"
#include "Util/Log.h"
#include "Util/Text.h"

#include <algorithm>

namespace ostrel {

namespace {

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
    std::string trimmed(Text::trimmedAscii(code));
    std::replace(trimmed.begin(), trimmed.end(), ' ', '+');
    return trimmed;
}

// What the log may say about a request: its method and path, never its query, which can carry
// an address or a token.
std::string described(const std::string& method, std::string_view path) {
    return method + " " + std::string(path.substr(0, path.find('?')));
}

bool isSuccess(int status) {
    return status >= 200 && status < 300;
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

MoonbaseClient::MoonbaseClient(HostPolicy policy, HTTPTransport& transport, TokenPersistence& persistence,
                               OperationTiming timing)
    : policy_(std::move(policy)), transport_(transport), persistence_(persistence), timing_(std::move(timing)) {}

MoonbaseClient::~MoonbaseClient() = default;

// MARK: Account

User MoonbaseClient::signIn(std::string_view email, std::string_view password) {
    const Call call{
        .path = "/api/customer/identity/sign-in?email=" + queryValue(email) + "&scheme=JWT",
        .method = "POST",
        .body = std::string(password),
        .contentType = "text/plain",
    };
    const auto response = transport_.send(request(call, begin(), true));
    if (response.status == 400 || response.status == 401 || response.status == 404)
        throwLogged(MoonbaseError::invalidCredentials(), "sign-in answered " + std::to_string(response.status));
    checkStatus(response, call);
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
    const Call call{
        .path = std::string("/api/customer/identity/sign-up?scheme=JWT&communicationOptIn=") +
                (newsletter ? "true" : "false"),
        .method = "POST",
        .body = body.dump(),
    };
    const auto response = transport_.send(request(call, begin(), true));
    checkStatus(response, call);
    return adopt(response);
}

void MoonbaseClient::confirmAccount(std::string_view email, std::string_view code) {
    send(
        {
            .path = "/api/customer/identity/confirm-account?email=" + queryValue(email) +
                    "&code=" + queryValue(pastedCode(code)),
            .method = "POST",
        },
        begin());
}

void MoonbaseClient::forgotPassword(std::string_view email) {
    send({.path = "/api/customer/identity/forgot-password?email=" + queryValue(email), .method = "POST"}, begin());
}

User MoonbaseClient::currentUser() {
    return fetch<User>({.path = "/api/customer/meta/user", .authenticated = true});
}

// MARK: Catalog and inventory

Storefront MoonbaseClient::storefront() {
    return fetch<Storefront>({.path = "/api/customer/storefront"});
}

ProductSummary MoonbaseClient::product(std::string_view productId) {
    return fetch<ProductSummary>({.path = "/api/customer/inventory/products/" + pathPiece(productId)});
}

std::vector<ProductSummary> MoonbaseClient::ownedProducts(std::stop_token stop) {
    const auto operation = begin(std::move(stop));
    std::vector<ProductSummary> all;
    std::string path = "/api/customer/inventory/products";
    for (std::size_t pages = 1;; ++pages) {
        auto page = decodeAnswer<Paged<ProductSummary>>(send({.path = path, .authenticated = true}, operation).body);
        std::move(page.items.begin(), page.items.end(), std::back_inserter(all));
        if (!page.hasMore || !page.next)
            return all;
        // A token or a relative address is taken as the next path; an absolute one must stay on the store.
        const auto next = Url::parse(*page.next);
        if (next && next->host() && !policy_.allowsAPI(*next))
            throwLogged(MoonbaseError::blockedURL(*page.next), "the next page lies off the store");
        path = next && next->host() ? next->pathAndQuery() : *page.next;
        if (pages == maxPages)
            return all;
    }
}

Url MoonbaseClient::resolveDownload(const Download& download) {
    const auto stored = download.path ? Url::parse(*download.path) : std::nullopt;
    if (!stored || !policy_.allowsAPI(*stored))
        throwLogged(MoonbaseError::blockedURL(download.path.value_or("(no path)")),
                    "the download path of " + download.key + " lies off the store");
    const auto linkRequest = stored->appendingQueryItem("redirect", "false");
    const auto link = fetch<DownloadLink>({.path = linkRequest.pathAndQuery(), .authenticated = true});
    // The store hands out addresses with raw blanks now and then; escape only what is illegal.
    const auto location = Url::parse(percentEncode(link.location, AllowedCharacters::downloadLocation()));
    if (!location || !policy_.allowsDownload(*location))
        throwLogged(MoonbaseError::blockedURL(link.location),
                    "the download link of " + download.key + " lies off the download domains");
    return *location;
}

// MARK: Orders

Order MoonbaseClient::pushOrder(std::string_view orderId, std::string_view currency,
                                const std::vector<OrderLineItem>& items, const Url& returnURL) {
    const nlohmann::json body = {{"currency", currency}, {"items", items}};
    return fetch<Order>({
        .path =
            "/api/customer/orders/" + pathPiece(orderId) + "?checkout=true&returnUrl=" + queryValue(returnURL.text()),
        .method = "PATCH",
        .body = body.dump(),
    });
}

Order MoonbaseClient::order(std::string_view orderId) {
    return fetch<Order>({.path = "/api/customer/orders/" + pathPiece(orderId)});
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

void MoonbaseClient::save(const SessionTokens& tokens) {
    try {
        persistence_.save(tokens);
    } catch (const std::exception& e) {
        Log::error(Log::Category::store, std::string("the session could not be saved: ") + e.what());
        throw;
    }
}

User MoonbaseClient::adopt(const HTTPResponse& response) {
    auto identity = decodeAnswer<IdentityResponse>(response.body);
    auto tokens = SessionTokens::issued(std::move(identity.accessToken), std::move(identity.refreshToken), now());
    const std::lock_guard guard(lock_);
    replaceSession(tokens);
    save(tokens); // a failure still leaves the session in memory for this run
    return std::move(identity.user);
}

std::optional<std::string> MoonbaseClient::validAccessToken(const Operation& operation) {
    const auto current = session();
    if (!current)
        return std::nullopt;
    if (!current->needsRefresh(now()))
        return current->accessToken;
    const auto renewed = refresh(false, operation);
    return renewed ? std::optional(renewed->accessToken) : std::nullopt;
}

MoonbaseClient::Session MoonbaseClient::refresh(bool force, const Operation& operation) {
    std::unique_lock lock(lock_);
    if (flight_) {
        auto shared = flight_->result;
        lock.unlock();
        return awaitRefresh(std::move(shared), operation);
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
        fresh = requestRefresh(current, operation);
    } catch (...) {
        failure = std::current_exception();
    }
    return settleRefresh(flight, std::move(fresh), failure);
}

// Another caller's renewal is waited for only as long as this operation may still take.
MoonbaseClient::Session MoonbaseClient::awaitRefresh(std::shared_future<Session> result,
                                                     const Operation& operation) const {
    if (result.wait_for(operation.deadline.remaining()) != std::future_status::ready)
        operation.deadline.nextRequest(timing_.request, policy_.apiHost); // throws: nothing is left
    return result.get();
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
    save(*fresh);
    return fresh;
}

MoonbaseClient::Session MoonbaseClient::requestRefresh(const SessionTokens& current, const Operation& operation) {
    const Call call{
        .path = "/api/customer/identity/refresh?token=" + queryValue(current.refreshToken),
        .method = "POST",
        .body = current.accessToken,
        .contentType = "text/plain",
    };
    const auto response = transport_.send(request(call, operation, false));
    if (response.status == 401 || response.status == 403 || response.status == 404) {
        Log::warning(Log::Category::store, "the store refused the session's renewal with " +
                                               std::to_string(response.status) + "; signing out");
        return std::nullopt;
    }
    checkStatus(response, call);
    auto identity = decodeAnswer<IdentityResponse>(response.body);
    return SessionTokens::issued(std::move(identity.accessToken), std::move(identity.refreshToken), now());
}

// MARK: Requests

MoonbaseClient::Operation MoonbaseClient::begin(std::stop_token stop) const {
    return Operation{.deadline = timing_.start(), .stop = std::move(stop)};
}

template <class T>
T MoonbaseClient::fetch(const Call& call) {
    return decodeAnswer<T>(send(call, begin()).body);
}

HTTPResponse MoonbaseClient::send(const Call& call, const Operation& operation) {
    if (call.authenticated && !session())
        throwLogged(MoonbaseError::notSignedIn(), described(call.method, call.path) + " needs a session");
    auto response = sendOnce(call, operation);
    if (response.status == 401 && session()) {
        if (!refresh(true, operation))
            throwLogged(MoonbaseError::notSignedIn(), "the session could not be renewed after a 401");
        response = sendOnce(call, operation); // once, with the new token
    }
    checkStatus(response, call); // a 401 that remains reads "Sign in to continue."
    return response;
}

HTTPResponse MoonbaseClient::sendOnce(const Call& call, const Operation& operation) {
    return transport_.send(request(call, operation, true));
}

HTTPRequest MoonbaseClient::request(const Call& call, const Operation& operation, bool withSession) {
    HTTPRequest out{
        .url = storeUrl(call.path),
        .method = call.method,
        .headers = storeHeaders(call.contentType),
        .body = call.body,
        .stop = operation.stop,
    };
    // Sent whenever there is a session, so public answers reflect what the customer owns.
    if (const auto token = withSession ? validAccessToken(operation) : std::nullopt)
        out.headers.push_back({"Authorization", "Bearer " + *token});
    // Asked last: a renewal above may have used part of the time.
    out.timeout = operation.deadline.nextRequest(timing_.request, policy_.apiHost);
    return out;
}

Url MoonbaseClient::storeUrl(std::string_view path) const {
    const auto base = Url::parse("https://" + policy_.apiHost);
    auto url = base ? base->resolved(path) : std::nullopt;
    if (!url || !policy_.allowsAPI(*url))
        throwLogged(MoonbaseError::blockedURL(std::string(path)), "the address lies off the store");
    return std::move(*url);
}

void MoonbaseClient::checkStatus(const HTTPResponse& response, const Call& call) const {
    if (isSuccess(response.status))
        return;
    const auto what = described(call.method, call.path) + " answered " + std::to_string(response.status);
    if (response.status < 400) // a redirect is never followed, and nothing else below 400 is an answer
        throwLogged(MoonbaseError::unexpectedAnswer(response.status), what);
    const auto problem = Problem::fromBody(response.body);
    auto message =
        problem.detail.value_or(problem.title.value_or(std::string(HttpStatus::reasonPhrase(response.status))));
    const auto logged = what + ": " + message;
    switch (response.status) {
    case 401:
        throwLogged(MoonbaseError::notSignedIn(), logged);
    case 403:
        throwLogged(MoonbaseError::forbidden(std::move(message)), logged);
    case 404:
        throwLogged(MoonbaseError::notFound(std::move(message)), logged);
    default:
        throwLogged(MoonbaseError::server(response.status, std::move(message)), logged);
    }
}

} // namespace ostrel
