#include "Services/OstrelIDClient.h"

#include "Services/AnswerDecoding.h"
#include "Services/HostPolicy.h"
#include "Services/HttpStatus.h"
#include "Services/MoonbaseError.h"
#include "Util/Log.h"
#include "Util/Text.h"
#include "Util/Unicode.h"

#include <chrono>

namespace ostrel {

namespace {

constexpr auto identity = MoonbaseError::Service::identity;

// The error body of the identity service.
struct ErrorBody {
    std::optional<std::string> message;
    std::optional<std::string> error;
};

void readJson(const JsonReader& in, ErrorBody& out) {
    out = {.message = in.optional<std::string>("message"), .error = in.optional<std::string>("error")};
}

// What a failed answer says, in the order the service prefers, else the status's own phrase.
std::string failureDetail(const HTTPResponse& response) {
    try {
        auto body = decodeJsonText<ErrorBody>(response.body);
        if (body.message)
            return *body.message;
        if (body.error)
            return *body.error;
    } catch (const DecodingError&) {
        // a body that is not the service's error shape says nothing
    }
    return std::string(HttpStatus::reasonPhrase(response.status));
}

// The one member of a small wrapper answer ({"token": ...}, {"sessions": [...]}).
template <class T>
T decodeMember(std::string_view body, std::string_view key) {
    try {
        const auto document = JsonTree::parse(body);
        return JsonReader(document).required<T>(key);
    } catch (const DecodingError& failure) {
        throwLogged(MoonbaseError::decoding(failure, identity),
                    "the answer's \"" + std::string(key) + "\" did not decode: " + failure.what());
    }
}

// Text the user typed may hold broken UTF-8; it is sent with replacement characters rather
// than refused.
std::string jsonText(const nlohmann::json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string withoutWhitespace(std::string_view text) {
    std::string out;
    for (size_t offset = 0; offset < text.size();) {
        const auto scalar = Unicode::decodeScalar(text, offset);
        if (!Unicode::isWhitespace(scalar.value))
            out.append(text.substr(offset, scalar.length));
        offset += scalar.length;
    }
    return out;
}

// `relative` appended to the path of `base` after a "/", as path components; the query and
// fragment of `base` are dropped. None when the result is not an address.
std::optional<Url> appendingPath(const Url& base, std::string_view relative) {
    auto path = base.path();
    if (!path.ends_with('/'))
        path += '/';
    path += percentEncode(relative, AllowedCharacters::urlPathAllowed());
    return base.resolved(path);
}

// Only https to the very host of `base` is ever contacted.
bool staysOn(const Url& url, const Url& base) {
    const auto host = url.host();
    const auto baseHost = base.host();
    return url.scheme() == "https" && host && baseHost && Text::equalsIgnoringAsciiCase(*host, *baseHost);
}

} // namespace

OstrelIDClient::OstrelIDClient(Url base, Url authBase, std::shared_ptr<HTTPTransport> transport,
                               std::shared_ptr<TokenPersistence> persistence, OperationTiming timing)
    : base_(std::move(base)), authBase_(std::move(authBase)), transport_(std::move(transport)),
      persistence_(std::move(persistence)), timing_(std::move(timing)) {}

Url OstrelIDClient::apiBase(std::string_view host) {
    return Url("https://" + std::string(host) + "/id");
}

Url OstrelIDClient::signInBase(std::string_view host) {
    return Url("https://" + std::string(host) + "/auth");
}

std::optional<std::string> OstrelIDClient::token() {
    const std::lock_guard guard(lock_);
    if (!loaded_) {
        const auto stored = persistence_->load();
        token_ = stored ? std::optional(stored->accessToken) : std::nullopt;
        loaded_ = true;
    }
    return token_;
}

void OstrelIDClient::adopt(const std::string& token) {
    const std::lock_guard guard(lock_);
    token_ = token;
    loaded_ = true;
    try {
        persistence_->save(SessionTokens::issued(token, "", SessionTokens::Clock::now()));
    } catch (const std::exception& e) {
        Log::error(Log::Category::identity, std::string("the session could not be saved: ") + e.what());
        throw;
    }
}

void OstrelIDClient::forget() noexcept {
    try {
        const std::lock_guard guard(lock_);
        token_.reset();
        loaded_ = true;
        persistence_->clear();
    } catch (...) {
        // the session is gone from memory; a stored one the secret store cannot remove is
        // refused by the service at its next use
    }
}

bool OstrelIDClient::isSignedIn() {
    return token().has_value();
}

Url OstrelIDClient::address(std::string_view path, const QueryItems& query) const {
    if (path.starts_with('/'))
        path.remove_prefix(1);
    auto url = appendingPath(base_, path);
    if (!url)
        throwLogged(MoonbaseError::blockedURL(base_.text() + "/" + std::string(path)), "not an address");
    for (const auto& [name, value] : query)
        url = url->appendingQueryItem(name, value);
    if (!staysOn(*url, base_))
        throwLogged(MoonbaseError::blockedURL(url->text()), "not https to the identity host");
    return *url;
}

std::string OstrelIDClient::send(const Call& call, const Deadline& deadline) {
    HTTPRequest request{.url = address(call.path, call.query),
                        .method = std::string(call.method),
                        .headers = {{"Accept", "application/json"}, {"User-Agent", "Ostrel Hub (macOS)"}}};
    if (call.body) {
        request.body = *call.body;
        request.headers.push_back({"Content-Type", "application/json"});
    }
    if (call.access == Access::signedIn) {
        const auto current = token();
        if (!current)
            throwLogged(MoonbaseError::notSignedIn(), std::string(call.path) + " needs a session");
        request.headers.push_back({"Authorization", "Bearer " + *current});
    }
    request.timeout = deadline.nextRequest(timing_.request, base_.host().value_or(""));
    auto response = transport_->send(request);
    checkStatus(response, call);
    return std::move(response.body);
}

void OstrelIDClient::checkStatus(const HTTPResponse& response, const Call& call) {
    if (response.status >= 200 && response.status < 300)
        return;
    const auto what =
        std::string(call.method) + " " + std::string(call.path) + " answered " + std::to_string(response.status);
    if (response.status == 401 && call.access == Access::signedIn) {
        forget();
        throwLogged(MoonbaseError::notSignedIn(), what + "; the session is dropped");
    }
    if (response.status < 400) // a redirect is never followed, and nothing else below 400 is an answer
        throwLogged(MoonbaseError::unexpectedAnswer(response.status, identity), what);
    const auto detail = failureDetail(response);
    throwLogged(MoonbaseError::server(response.status, detail, identity), what + ": " + detail);
}

void OstrelIDClient::requestCode(std::string_view email) {
    send({.path = "/auth/email/code/request", .method = "POST", .body = jsonText({{"email", email}})});
}

OstrelIDProfile OstrelIDClient::completeCode(std::string_view email, std::string_view code) {
    const auto deadline = timing_.start();
    const auto answer = send({.path = "/auth/email/code/complete",
                              .method = "POST",
                              .body = jsonText({{"email", email}, {"code", withoutWhitespace(code)}})},
                             deadline);
    adopt(decodeMember<std::string>(answer, "token"));
    return profile(deadline);
}

Url OstrelIDClient::providerURL(OstrelIDProvider provider, std::string_view state, uint16_t port,
                                std::string_view challenge) const {
    const auto start = std::string(id(provider)) + "/start";
    const auto url = appendingPath(authBase_, start);
    if (!url)
        throw MoonbaseError::blockedURL(authBase_.text() + "/" + start);
    return url->appendingQueryItem("state", state)
        .appendingQueryItem("port", std::to_string(port))
        .appendingQueryItem("hub_challenge", challenge);
}

void OstrelIDClient::exchange(std::string_view code, std::string_view verifier) {
    const auto url = appendingPath(authBase_, "hub/exchange");
    if (!url || !staysOn(*url, authBase_))
        throwLogged(MoonbaseError::blockedURL(url ? url->text() : authBase_.text() + "/hub/exchange"),
                    "not https to the identity host");
    const auto response =
        transport_->send({.url = *url,
                          .method = "POST",
                          .headers = {{"Content-Type", "application/json"}},
                          .body = jsonText({{"code", code}, {"verifier", verifier}}),
                          .timeout = timing_.start().nextRequest(timing_.request, authBase_.host().value_or(""))});
    // Only a plain 200 completes a sign-in; anything else is a code the service did not take.
    if (response.status != 200)
        throwLogged(MoonbaseError::invalidCredentials(identity),
                    "the code exchange answered " + std::to_string(response.status));
    adopt(decodeMember<std::string>(response.body, "qid"));
}

OstrelIDProfile OstrelIDClient::profile() {
    return profile(timing_.start());
}

OstrelIDProfile OstrelIDClient::profile(const Deadline& deadline) {
    return decodeAnswer<OstrelIDProfile>(send({.path = "/auth/me", .access = Access::signedIn}, deadline), identity);
}

std::vector<OstrelIDSession> OstrelIDClient::sessions() {
    return decodeMember<std::vector<OstrelIDSession>>(send({.path = "/auth/sessions", .access = Access::signedIn}),
                                                      "sessions");
}

void OstrelIDClient::revokeSession(std::string_view sessionId) {
    send({.path = "/auth/sessions/revoke",
          .method = "POST",
          .body = jsonText({{"sessionId", sessionId}}),
          .access = Access::signedIn});
}

std::vector<OstrelIDPurchase> OstrelIDClient::purchases() {
    return decodeMember<std::vector<OstrelIDPurchase>>(send({.path = "/auth/purchases", .access = Access::signedIn}),
                                                       "purchases");
}

void OstrelIDClient::signOut() noexcept {
    try {
        if (token())
            send({.path = "/auth/signout", .method = "POST", .body = "{}", .access = Access::signedIn});
    } catch (...) {
        // signing out locally must not depend on the service agreeing
    }
    forget();
}

ReviewPage OstrelIDClient::reviews(std::string_view product, const std::optional<std::string>& cursor, int64_t limit) {
    QueryItems query{{"product", std::string(product)}, {"limit", std::to_string(limit)}};
    if (cursor)
        query.emplace_back("cursor", *cursor);
    return decodeAnswer<ReviewPage>(send({.path = "/reviews", .query = std::move(query)}), identity);
}

MyReview OstrelIDClient::myReview(std::string_view product) {
    return decodeAnswer<MyReview>(
        send({.path = "/reviews/mine", .query = {{"product", std::string(product)}}, .access = Access::signedIn}),
        identity);
}

PostedReview OstrelIDClient::postReview(const ReviewDraft& draft) {
    if (auto problem = draft.problem())
        throw MoonbaseError::forbidden(std::move(*problem));
    return decodeAnswer<PostedReview>(
        send({.path = "/reviews", .method = "POST", .body = jsonText(draft.normalized()), .access = Access::signedIn}),
        identity);
}

} // namespace ostrel
