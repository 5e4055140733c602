// Ostrel ID: e-mailed codes, browser sign-in with PKCE, the profile, devices, purchases and
// reviews, with the identity service's {"message": ...} error bodies.
#include "DemoRoutes.h"
#include "RouteSupport.h"
#include "Services/OstrelIDRecords.h"
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

// What a browser sign-in link carries; none when a part is missing or malformed.
struct BrowserRequest {
    std::string provider;
    std::string state;
    std::string port;
    std::string challenge;

    // The same request as a query, for the page's "Continue" link.
    std::string query() const {
        const auto value = AllowedCharacters::queryValue();
        return "state=" + percentEncode(state, value) + "&port=" + port +
               "&hub_challenge=" + percentEncode(challenge, value);
    }
};

std::optional<BrowserRequest> browserRequestOf(const httplib::Request& request) {
    BrowserRequest read{.provider = request.matches[1].str(),
                        .state = queryOf(request, "state").value_or(""),
                        .port = queryOf(request, "port").value_or(""),
                        .challenge = queryOf(request, "hub_challenge").value_or("")};
    const auto& port = read.port;
    const bool portOk = !port.empty() && port.size() <= 5 &&
                        std::all_of(port.begin(), port.end(), [](unsigned char d) { return std::isdigit(d); }) &&
                        std::stoi(port) >= 1 && std::stoi(port) <= 65535;
    if (read.state.empty() || !portOk || read.challenge.size() != challengeLength)
        return std::nullopt;
    return read;
}

void sendIncomplete(httplib::Response& response) {
    sendHtml(response, "Ostrel ID",
             "<h1>This sign-in link is incomplete.</h1><p>Start the sign-in again from Ostrel Hub.</p>", 400);
}

std::string providerTitle(const std::string& provider) {
    const auto known = ostrelIDProviderFromId(provider);
    return known ? std::string(title(*known)) : provider;
}

// The provider's page asks the demo customer to go on as themselves; "Continue" sends the browser
// back to the hub's loopback receiver with the state the hub gave and a one-time code.
void addBrowserRoutes(HostRouter& router, DemoContext& c) {
    router.get(c.hosts.identity, "/auth/(apple|google|github)/start", [&c](const auto& request, auto& response) {
        const auto asked = browserRequestOf(request);
        if (!asked)
            return sendIncomplete(response);
        const auto name = providerTitle(asked->provider);
        const auto who = c.catalogue.customers.empty()
                             ? std::string("the demo customer")
                             : c.catalogue.customers.front().name + " (" + c.catalogue.customers.front().email + ")";
        sendHtml(response, "Sign in with " + name,
                 "<h1>Sign in with " + htmlEscaped(name) +
                     "</h1><p>Ostrel Hub asks to sign you in to your Ostrel ID.</p>"
                     "<p><a id=continue href=\"/auth/" +
                     asked->provider + "/continue?" + htmlEscaped(asked->query()) + "\">Continue as " +
                     htmlEscaped(who) + "</a></p><p>Close this tab to cancel.</p>");
    });
    router.get(c.hosts.identity, "/auth/(apple|google|github)/continue", [&c](const auto& request, auto& response) {
        const auto asked = browserRequestOf(request);
        if (!asked)
            return sendIncomplete(response);
        const auto code = c.identity.startBrowserSignIn(asked->provider, asked->challenge);
        redirect(response, "http://127.0.0.1:" + asked->port + "/cb?state=" +
                               percentEncode(asked->state, AllowedCharacters::queryValue()) + "&hub_code=" + code);
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
    // Where the hub's "Manage" link leads: the account site of the identity service.
    router.get(host, "/account", [](const auto&, auto& response) {
        sendHtml(response, "Your Ostrel ID",
                 "<h1>Your Ostrel ID</h1><p>Here you would link purchases made with another email address, "
                 "connect Apple, Google or GitHub, and see your signed-in devices.</p>");
    });
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
