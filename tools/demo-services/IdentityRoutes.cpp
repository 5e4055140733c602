// Ostrel ID: e-mailed codes, browser sign-in with PKCE, the profile, devices, purchases and
// reviews, with the identity service's {"message": ...} error bodies.
#include "DemoRoutes.h"
#include "RouteSupport.h"
#include "Util/Url.h"

#include <algorithm>
#include <cctype>

namespace ostrel::demo {

namespace {

using nlohmann::json;
using Account = DemoIdentity::Account;

constexpr size_t challengeLength = 43; // base64url of a SHA-256 digest

std::string labelOf(const httplib::Request& request) {
    const auto agent = request.get_header_value("User-Agent");
    return agent.empty() ? std::string("Unknown device") : agent;
}

// The signed-in caller; answers 401 itself (and returns none) otherwise.
std::optional<Account> accountOf(DemoContext& c, const httplib::Request& request, httplib::Response& response) {
    auto account = c.identity.authenticate(headerOf(request, "Authorization"));
    if (!account)
        sendMessage(response, 401, "Sign in to continue.");
    return account;
}

// The JSON body's text member `key`; answers 400 itself (and returns none) when it is missing.
std::optional<std::string> requiredText(const httplib::Request& request, httplib::Response& response, const char* key) {
    const auto body = jsonObjectOf(request);
    auto value = body ? textOf(*body, key) : std::nullopt;
    if (!value || value->empty())
        sendMessage(response, 400, std::string("The request needs \"") + key + "\".");
    return value;
}

void addCodeRoutes(HostRouter& router, DemoContext& c) {
    router.post(c.hosts.identity, "/id/auth/email/code/request", [&c](const auto& request, auto& response) {
        const auto email = requiredText(request, response, "email");
        if (!email)
            return;
        if (email->find('@') == std::string::npos)
            return sendMessage(response, 400, "That is not an email address.");
        c.identity.requestCode(*email);
        sendJson(response, json::object());
    });
    router.post(c.hosts.identity, "/id/auth/email/code/complete", [&c](const auto& request, auto& response) {
        const auto email = requiredText(request, response, "email");
        const auto code = email ? requiredText(request, response, "code") : std::nullopt;
        if (!code)
            return;
        const auto token = c.identity.completeCode(*email, *code, labelOf(request));
        if (!token)
            return sendMessage(response, 400, "That code is wrong or has expired.");
        sendJson(response, {{"token", *token}});
    });
}

// The provider's page would ask who you are; the demo signs in its customer at once and sends
// the browser straight back to the hub's loopback receiver.
void addBrowserRoutes(HostRouter& router, DemoContext& c) {
    router.get(c.hosts.identity, "/auth/(apple|google|github)/start", [&c](const auto& request, auto& response) {
        const auto state = queryOf(request, "state").value_or("");
        const auto port = queryOf(request, "port").value_or("");
        const auto challenge = queryOf(request, "hub_challenge").value_or("");
        const bool portOk = !port.empty() && port.size() <= 5 &&
                            std::all_of(port.begin(), port.end(), [](unsigned char d) { return std::isdigit(d); }) &&
                            std::stoi(port) >= 1 && std::stoi(port) <= 65535;
        if (state.empty() || !portOk || challenge.size() != challengeLength)
            return sendHtml(response, "Ostrel ID",
                            "<h1>This sign-in link is incomplete.</h1><p>Start the sign-in again from Ostrel Hub.</p>",
                            400);
        const auto code = c.identity.startBrowserSignIn(request.matches[1].str(), challenge);
        redirect(response, "http://127.0.0.1:" + port + "/cb?state=" +
                               percentEncode(state, AllowedCharacters::queryValue()) + "&hub_code=" + code);
    });
    router.post(c.hosts.identity, "/auth/hub/exchange", [&c](const auto& request, auto& response) {
        const auto code = requiredText(request, response, "code");
        const auto verifier = code ? requiredText(request, response, "verifier") : std::nullopt;
        if (!verifier)
            return;
        const auto token = c.identity.exchange(*code, *verifier, labelOf(request));
        if (!token)
            return sendMessage(response, 400, "That sign-in code is not valid.");
        sendJson(response, {{"qid", *token}});
    });
}

void addAccountRoutes(HostRouter& router, DemoContext& c) {
    const auto& host = c.hosts.identity;
    router.get(host, "/id/auth/me", [&c](const auto& request, auto& response) {
        if (const auto account = accountOf(c, request, response))
            sendJson(response, c.identity.profile(*account));
    });
    router.get(host, "/id/auth/sessions", [&c](const auto& request, auto& response) {
        if (const auto account = accountOf(c, request, response))
            sendJson(response, c.identity.sessions(*account));
    });
    router.post(host, "/id/auth/sessions/revoke", [&c](const auto& request, auto& response) {
        const auto account = accountOf(c, request, response);
        const auto session = account ? requiredText(request, response, "sessionId") : std::nullopt;
        if (!session)
            return;
        if (!c.identity.revoke(*account, *session))
            return sendMessage(response, 404, "There is no such session.");
        sendJson(response, json::object());
    });
    router.get(host, "/id/auth/purchases", [&c](const auto& request, auto& response) {
        if (const auto account = accountOf(c, request, response))
            sendJson(response, c.identity.purchases(*account));
    });
    router.post(host, "/id/auth/signout", [&c](const auto& request, auto& response) {
        if (const auto account = accountOf(c, request, response)) {
            c.identity.signOut(*account);
            sendJson(response, json::object());
        }
    });
}

void sendAnswer(httplib::Response& response, const ReviewBook::Answer& answer) {
    sendJson(response, answer.body, answer.status);
}

void addReviewRoutes(HostRouter& router, DemoContext& c) {
    const auto& host = c.hosts.identity;
    router.get(host, "/id/reviews", [&c](const auto& request, auto& response) {
        const auto limit = queryOf(request, "limit").value_or("10");
        if (limit.empty() || limit.size() > 4 ||
            !std::all_of(limit.begin(), limit.end(), [](unsigned char d) { return std::isdigit(d); }))
            return sendMessage(response, 400, "The limit must be a number.");
        sendAnswer(response, c.reviews.page(queryOf(request, "product").value_or(""), queryOf(request, "cursor"),
                                            std::stoi(limit)));
    });
    router.get(host, "/id/reviews/mine", [&c](const auto& request, auto& response) {
        const auto account = accountOf(c, request, response);
        if (!account)
            return;
        const auto product = queryOf(request, "product").value_or("");
        sendAnswer(response, c.reviews.mine(product, account->email, c.identity.reviewBasis(account->email, product)));
    });
    router.post(host, "/id/reviews", [&c](const auto& request, auto& response) {
        const auto account = accountOf(c, request, response);
        if (!account)
            return;
        const auto draft = jsonObjectOf(request).value_or(json());
        const auto product = textOf(draft, "productId").value_or("");
        sendAnswer(response, c.reviews.post(account->email, draft, c.identity.reviewBasis(account->email, product)));
    });
}

} // namespace

void addIdentityRoutes(HostRouter& router, DemoContext& context) {
    addCodeRoutes(router, context);
    addBrowserRoutes(router, context);
    addAccountRoutes(router, context);
    addReviewRoutes(router, context);
}

} // namespace ostrel::demo
