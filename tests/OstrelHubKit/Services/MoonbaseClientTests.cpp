// The store client over the production transport, against a small store on 127.0.0.1 that
// answers each test's routes and records every request it receives.
#include "LocalHttpsServer.h"
#include "Services/CurlTransport.h"
#include "Services/InMemoryTokenPersistence.h"
#include "Services/MoonbaseClient.h"
#include "Services/MoonbaseError.h"
#include "Services/TransportError.h"
#include "TempDir.h"
#include "TlsChains.h"

#include <atomic>
#include <future>
#include <thread>

#include <gtest/gtest.h>

namespace ostrel {
namespace {

using namespace std::chrono_literals;

constexpr const char* storeHost = "store.demo.test";

struct Received {
    std::string method, target, authorization, contentType, body;
};

// A store whose routes each test adds before start(); every request is recorded first.
struct Store {
    test::TempDir dir;
    fixtures::TlsChain chain = fixtures::makeTlsChain(dir / "tls", {.hostNames = {storeHost}});
    test::LocalHttpsServer server{chain};
    test::Seen<std::vector<Received>> received;
    InMemoryTokenPersistence persistence;
    std::unique_ptr<CurlTransport> transport;
    std::unique_ptr<MoonbaseClient> client;

    Store() {
        // Runs once each request has been answered, before the answer goes out.
        server.routes().set_post_routing_handler([this](const httplib::Request& r, httplib::Response&) {
            received.update([&](std::vector<Received>& all) {
                all.push_back({r.method, r.target, r.get_header_value("Authorization"),
                               r.get_header_value("Content-Type"), r.body});
            });
        });
    }

    httplib::Server& routes() { return server.routes(); }

    // Starts the store on first use; each call makes a new client, which reads the stored session afresh.
    MoonbaseClient& start(OperationTiming timing = {}) {
        if (!transport) {
            server.start();
            transport = std::make_unique<CurlTransport>(
                PinnedTrust{{{storeHost, {chain.rootPin}}}, {}},
                CurlTransport::Options{.caBundle = chain.root, .connectTo = {{storeHost, server.address()}}});
        }
        client = std::make_unique<MoonbaseClient>(HostPolicy{storeHost, {}, {"files.demo.test"}}, *transport,
                                                  persistence, std::move(timing));
        return *client;
    }

    void signedInFor(std::chrono::seconds left) {
        persistence.save({"old-access", "old refresh+token", SessionTokens::Clock::now() + left});
    }

    std::vector<Received> to(std::string_view prefix) {
        std::vector<Received> matching;
        for (auto& r : received.get())
            if (r.target.starts_with(prefix))
                matching.push_back(r);
        return matching;
    }
};

constexpr const char* userPath = "/api/customer/meta/user";
constexpr const char* refreshPath = "/api/customer/identity/refresh";
constexpr const char* productsPath = "/api/customer/inventory/products";

std::string identity(const std::string& access) {
    return R"({"id":"u1","email":"ann@demo.test","name":"Ann","accessToken":")" + access +
           R"(","refreshToken":"next-refresh"})";
}

void json(httplib::Response& response, const std::string& body, int status = 200) {
    response.status = status;
    response.set_content(body, "application/json");
}

void answerUser(Store& store) {
    store.routes().Get(userPath, [](const httplib::Request& request, httplib::Response& r) {
        if (!request.has_header("Authorization"))
            return json(r, "{}", 401);
        json(r, R"({"id":"u1","email":"ann@demo.test","name":"Ann"})");
    });
}

const std::string unexpected = "The store answered in a way the app did not expect. Try again later.";

// The message of the MoonbaseError `call` throws, or "no error".
template <typename F>
std::string failure(F call) {
    try {
        call();
    } catch (const MoonbaseError& e) {
        return e.what();
    }
    return "no error";
}

TEST(MoonbaseClient, ConcurrentCallersShareOneRefresh) {
    Store store;
    store.signedInFor(30s);
    answerUser(store);
    store.routes().Post(refreshPath, [](const httplib::Request&, httplib::Response& r) {
        std::this_thread::sleep_for(300ms); // long enough for every caller to find it in flight
        json(r, identity("renewed"));
    });
    auto& client = store.start();

    std::vector<std::future<User>> calls;
    for (int i = 0; i < 4; ++i)
        calls.push_back(std::async(std::launch::async, [&] { return client.currentUser(); }));
    for (auto& call : calls)
        EXPECT_EQ(call.get().name, "Ann");

    const auto refreshes = store.to(refreshPath);
    ASSERT_EQ(refreshes.size(), 1u);
    EXPECT_EQ(refreshes[0].target, "/api/customer/identity/refresh?token=old%20refresh%2Btoken");
    EXPECT_EQ(refreshes[0].body, "old-access");
    EXPECT_EQ(refreshes[0].contentType, "text/plain");
    EXPECT_EQ(refreshes[0].authorization, "");
    for (const auto& r : store.to(userPath))
        EXPECT_EQ(r.authorization, "Bearer renewed");
    EXPECT_EQ(store.persistence.load()->accessToken, "renewed");
}

TEST(MoonbaseClient, RetriesA401OnceWithTheRenewedToken) {
    Store store;
    store.signedInFor(1h);
    std::atomic<int> issued = 0;
    store.routes().Post(refreshPath, [&](const httplib::Request&, httplib::Response& r) {
        json(r, identity("renewed-" + std::to_string(++issued)));
    });
    store.routes().Get(userPath, [](const httplib::Request& request, httplib::Response& r) {
        if (request.get_header_value("Authorization") != "Bearer renewed-1")
            return json(r, "{}", 401);
        json(r, R"({"id":"u1","email":"ann@demo.test","name":"Ann"})");
    });
    store.routes().Get(productsPath, [](const httplib::Request&, httplib::Response& r) { json(r, "{}", 401); });
    auto& client = store.start();

    EXPECT_EQ(client.currentUser().id, "u1");
    EXPECT_EQ(store.to(userPath).size(), 2u);
    // A session the store keeps refusing after renewal is over.
    EXPECT_EQ(failure([&] { client.ownedProducts(); }), "Sign in to continue.");
    EXPECT_EQ(store.to(productsPath).size(), 2u);
    EXPECT_EQ(store.to(productsPath).back().authorization, "Bearer renewed-2");
    EXPECT_EQ(issued, 2);
}

TEST(MoonbaseClient, ARejectedRefreshTokenSignsOut) {
    Store store;
    store.signedInFor(10s);
    answerUser(store);
    store.routes().Post(refreshPath, [](const httplib::Request&, httplib::Response& r) { json(r, "{}", 403); });
    auto& client = store.start();

    EXPECT_EQ(failure([&] { client.currentUser(); }), "Sign in to continue.");
    EXPECT_FALSE(client.isSignedIn());
    EXPECT_FALSE(store.persistence.load());
    ASSERT_EQ(store.to(userPath).size(), 1u);
    EXPECT_EQ(store.to(userPath)[0].authorization, "");
}

TEST(MoonbaseClient, SignOutDropsARefreshInFlight) {
    Store store;
    store.signedInFor(10s);
    answerUser(store);
    std::promise<void> arrived, release;
    auto released = release.get_future().share();
    store.routes().Post(refreshPath, [&](const httplib::Request&, httplib::Response& r) {
        arrived.set_value();
        released.wait();
        json(r, identity("too-late"));
    });
    auto& client = store.start();

    auto call = std::async(std::launch::async, [&] { client.currentUser(); });
    arrived.get_future().wait();
    client.signOut();
    release.set_value();
    EXPECT_THROW(call.get(), Cancelled);
    EXPECT_FALSE(client.isSignedIn());
    EXPECT_FALSE(store.persistence.load());
    EXPECT_TRUE(store.to(userPath).empty());
}

TEST(MoonbaseClient, SignsInWithTheAddressIntactAndSendsTheSessionEverywhere) {
    Store store;
    store.routes().Post("/api/customer/identity/sign-in", [](const httplib::Request& request, httplib::Response& r) {
        if (request.get_param_value("email") == "nobody@demo.test")
            return json(r, "{}", 404);
        if (request.get_param_value("email") == "locked@demo.test")
            return json(r, "{}", 401);
        if (request.body != "s3cret")
            return json(r, "{}", 400);
        json(r, identity("signed-in"));
    });
    store.routes().Get("/api/customer/storefront", [](const httplib::Request&, httplib::Response& r) {
        json(r, R"({"suggestedCurrency":"EUR","products":[],"bundles":[]})");
    });
    auto& client = store.start();

    EXPECT_EQ(failure([&] { client.currentUser(); }), "Sign in to continue.");
    EXPECT_EQ(client.storefront().suggestedCurrency, "EUR");
    for (const auto& [email, password] :
         {std::pair{"ann@demo.test", "wrong"}, {"nobody@demo.test", "s3cret"}, {"locked@demo.test", "s3cret"}})
        EXPECT_EQ(failure([&] { client.signIn(email, password); }),
                  "That email and password did not match an Ostrel store account.");
    EXPECT_FALSE(client.isSignedIn());

    EXPECT_EQ(client.signIn("ann+hub&co@demo.test", "s3cret").email, "ann@demo.test");
    EXPECT_EQ(store.to("/api/customer/identity/sign-in").back().target,
              "/api/customer/identity/sign-in?email=ann%2Bhub%26co@demo.test&scheme=JWT");
    EXPECT_EQ(store.persistence.load()->accessToken, "signed-in");
    client.storefront();
    const auto storefronts = store.to("/api/customer/storefront");
    EXPECT_EQ(storefronts.front().authorization, "");
    EXPECT_EQ(storefronts.back().authorization, "Bearer signed-in");
    EXPECT_TRUE(store.to(userPath).empty());
}

TEST(MoonbaseClient, FailedAnswersReadAsTheStoreExplainsThem) {
    Store store;
    store.routes().Get(productsPath + std::string("/(.*)"), [](const httplib::Request& request, httplib::Response& r) {
        const auto which = request.matches[1].str();
        if (which == "gone")
            return json(r, R"({"title":"Missing","detail":"Product gone"})", 404);
        if (which == "locked")
            return json(r, R"({"title":"Members only"})", 403);
        if (which == "broken")
            return json(r, "<html>busy</html>", 409);
        if (which == "garbled")
            return json(r, R"({"id":"x"})");
        r.status = 500;
    });
    auto& client = store.start();

    EXPECT_EQ(failure([&] { client.product("gone"); }), "Product gone was not found.");
    EXPECT_EQ(failure([&] { client.product("locked"); }), "Members only");
    EXPECT_EQ(failure([&] { client.product("broken"); }), "The store returned 409. Conflict");
    EXPECT_EQ(failure([&] { client.product("crash"); }), "The store returned 500. Internal Server Error");
    EXPECT_TRUE(
        failure([&] { client.product("garbled"); }).starts_with("The store sent a response the app could not read. "));
}

TEST(MoonbaseClient, ReadsAtMostFiftyPages) {
    Store store;
    store.signedInFor(1h);
    store.routes().Get(productsPath, [](const httplib::Request& request, httplib::Response& r) {
        const auto page = request.has_param("page") ? std::stoi(request.get_param_value("page")) : 0;
        // Absolute and relative addresses of the next page take turns.
        const auto next = (page % 2 == 0 ? "https://STORE.demo.test" : "") + std::string(productsPath) +
                          "?page=" + std::to_string(page + 1);
        json(r, R"({"items":[{"id":"p)" + std::to_string(page) +
                    R"(","name":"P","tagline":"t"}],"hasMore":true,"next":")" + next + "\"}");
    });
    auto& client = store.start();

    const auto products = client.ownedProducts();
    ASSERT_EQ(products.size(), MoonbaseClient::maxPages);
    EXPECT_EQ(products.back().id, "p49");
    EXPECT_EQ(store.to(productsPath).size(), MoonbaseClient::maxPages);
}

TEST(MoonbaseClient, RefusesANextPageOnAnotherHost) {
    Store store;
    store.signedInFor(1h);
    store.routes().Get(productsPath, [](const httplib::Request&, httplib::Response& r) {
        json(r, R"({"items":[],"hasMore":true,"next":"https://elsewhere.demo.test/api/customer/inventory/products"})");
    });
    auto& client = store.start();

    EXPECT_EQ(failure([&] { client.ownedProducts(); }),
              "Refused to contact https://elsewhere.demo.test/api/customer/inventory/products.");
    EXPECT_EQ(store.to(productsPath).size(), 1u);
}

TEST(MoonbaseClient, ResolvesDownloadsOnlyFromTheStoreToTheDownloadDomains) {
    Store store;
    store.signedInFor(1h);
    store.routes().Get("/files/(.*)", [](const httplib::Request& request, httplib::Response& r) {
        const auto which = request.matches[1].str();
        if (which == "moved")
            return r.set_redirect("https://bucket.files.demo.test/x", 302);
        const auto host = which == "bare" ? "files.demo.test" : "bucket.files.demo.test";
        json(r, R"({"location":"https://)" + std::string(host) + R"(/Big Synth 1.2.zip?sig=a%2Fb"})");
    });
    auto& client = store.start();
    const auto file = [](std::optional<std::string> path) { return Download{"f", "k", Platform::mac, 1, path}; };

    EXPECT_EQ(client.resolveDownload(file("https://store.demo.test/files/ok?v=2")).text(),
              "https://bucket.files.demo.test/Big%20Synth%201.2.zip?sig=a%2Fb");
    EXPECT_EQ(store.to("/files/ok").back().target, "/files/ok?v=2&redirect=false");
    EXPECT_EQ(failure([&] { client.resolveDownload(file("https://store.demo.test/files/bare")); }),
              "Refused to contact https://files.demo.test/Big Synth 1.2.zip?sig=a%2Fb.");
    EXPECT_EQ(failure([&] { client.resolveDownload(file("https://store.demo.test/files/moved")); }), unexpected);

    const auto before = store.received.get().size();
    for (const auto& [path, refused] :
         std::vector<std::pair<std::optional<std::string>, std::string>>{{"https://evil.demo.test/files/ok", ""},
                                                                         {"https://store.demo.test:8443/files/ok", ""},
                                                                         {"/files/ok", ""},
                                                                         {std::nullopt, "(no path)"}})
        EXPECT_EQ(failure([&] { client.resolveDownload(file(path)); }),
                  "Refused to contact " + (path ? *path : refused) + ".");
    EXPECT_EQ(store.received.get().size(), before);
}

TEST(MoonbaseClient, SendsSignUpsCodesAndOrdersAsTheStoreExpects) {
    Store store;
    store.routes().Post("/api/customer/identity/confirm-account",
                        [](const httplib::Request&, httplib::Response& r) { r.status = 204; });
    store.routes().Patch("/api/customer/orders/(.*)", [](const httplib::Request&, httplib::Response& r) {
        json(r, R"({"id":"o/1","status":"Open","currency":"EUR","items":[]})");
    });
    store.routes().Post("/api/customer/identity/sign-up",
                        [](const httplib::Request&, httplib::Response& r) { json(r, identity("joined")); });
    auto& client = store.start();

    EXPECT_EQ(client.signUp("Ann", "ann@demo.test", "pw\"1", true).name, "Ann");
    const auto signUp = store.to("/api/customer/identity/sign-up").back();
    EXPECT_EQ(signUp.target, "/api/customer/identity/sign-up?scheme=JWT&communicationOptIn=true");
    EXPECT_EQ(nlohmann::json::parse(signUp.body),
              nlohmann::json::parse(R"({"name":"Ann","email":"ann@demo.test","password":"pw\"1","address":null,
                                        "acceptedPrivacyPolicy":true,"acceptedTermsAndConditions":true})"));
    EXPECT_EQ(store.persistence.load()->accessToken, "joined");

    client.confirmAccount("ann+hub@demo.test", " 12 34\t");
    EXPECT_EQ(store.to("/api/customer/identity/confirm-account").back().target,
              "/api/customer/identity/confirm-account?email=ann%2Bhub@demo.test&code=12%2B34");

    const auto line = OrderLineItem{"l1", "Product", "synth", std::nullopt, 1, "std"};
    EXPECT_EQ(client.pushOrder("o/1", "EUR", {line}, Url("https://hub.demo.test/done?x=1")).id, "o/1");
    const auto pushed = store.to("/api/customer/orders/").back();
    EXPECT_EQ(pushed.method, "PATCH");
    EXPECT_EQ(pushed.target,
              "/api/customer/orders/o%2F1?checkout=true&returnUrl=https:%2F%2Fhub.demo.test%2Fdone%3Fx%3D1");
    EXPECT_EQ(pushed.contentType, "application/json");
    EXPECT_EQ(nlohmann::json::parse(pushed.body),
              nlohmann::json::parse(R"({"currency":"EUR","items":[{"id":"l1","type":"Product","productId":"synth",
                                        "quantity":1,"variationId":"std"}]})"));
}

// A clock that only moves when a test moves it.
struct ManualClock {
    const Deadline::Clock::time_point origin = Deadline::Clock::now();
    std::atomic<int64_t> elapsedSeconds = 0;

    void advance(std::chrono::seconds by) { elapsedSeconds += by.count(); }
    Deadline::Now now() {
        return [this] { return origin + std::chrono::seconds(elapsedSeconds.load()); };
    }
};

// A redirect is never followed, so it is never a success either, whatever its body holds.
TEST(MoonbaseClient, RedirectsFailEveryCallAsUnexpectedAnswers) {
    Store store;
    const auto redirect = [](const std::string& body) {
        return [body](const httplib::Request&, httplib::Response& r) {
            json(r, body, 302);
            r.set_header("Location", "https://elsewhere.demo.test/");
        };
    };
    const std::string order = R"({"id":"o1","status":"Paid","currency":"EUR","items":[]})";
    store.routes().Post("/api/customer/identity/sign-in", redirect(identity("redirected")));
    store.routes().Post("/api/customer/identity/sign-up", redirect(identity("redirected")));
    store.routes().Post("/api/customer/identity/confirm-account", redirect("{}"));
    store.routes().Post("/api/customer/identity/forgot-password", redirect("{}"));
    store.routes().Get(userPath, redirect(R"({"id":"u1","email":"ann@demo.test","name":"Ann"})"));
    store.routes().Get("/api/customer/storefront",
                       redirect(R"({"suggestedCurrency":"EUR","products":[],"bundles":[]})"));
    store.routes().Get(productsPath, redirect(R"({"items":[],"hasMore":false})"));
    store.routes().Get(productsPath + std::string("/synth"), redirect(R"({"id":"synth","name":"S","tagline":"t"})"));
    store.routes().Get("/files/ok", redirect(R"({"location":"https://bucket.files.demo.test/x.zip"})"));
    store.routes().Patch("/api/customer/orders/o1", redirect(order));
    store.routes().Get("/api/customer/orders/o1", redirect(order));
    auto& client = store.start();

    EXPECT_EQ(failure([&] { client.signIn("ann@demo.test", "pw"); }), unexpected);
    EXPECT_EQ(failure([&] { client.signUp("Ann", "ann@demo.test", "pw", false); }), unexpected);
    EXPECT_FALSE(client.isSignedIn());
    EXPECT_FALSE(store.persistence.load());
    EXPECT_EQ(failure([&] { client.confirmAccount("ann@demo.test", "1234"); }), unexpected);
    EXPECT_EQ(failure([&] { client.forgotPassword("ann@demo.test"); }), unexpected);
    EXPECT_EQ(failure([&] { client.storefront(); }), unexpected);
    EXPECT_EQ(failure([&] { client.product("synth"); }), unexpected);
    EXPECT_EQ(failure([&] { client.pushOrder("o1", "EUR", {}, Url("https://hub.demo.test/done")); }), unexpected);
    EXPECT_EQ(failure([&] { client.order("o1"); }), unexpected);
    store.signedInFor(1h);
    auto& signedIn = store.start();
    EXPECT_EQ(failure([&] { signedIn.currentUser(); }), unexpected);
    EXPECT_EQ(failure([&] { signedIn.ownedProducts(); }), unexpected);
    EXPECT_EQ(failure([&] {
                  signedIn.resolveDownload(Download{"f", "k", Platform::mac, 1, "https://store.demo.test/files/ok"});
              }),
              unexpected);
    EXPECT_EQ(store.received.get().size(), 11u);
    try {
        signedIn.storefront();
        ADD_FAILURE() << "a redirect was taken for a storefront";
    } catch (const MoonbaseError& e) {
        EXPECT_EQ(e, MoonbaseError::unexpectedAnswer(302));
    }
}

// A renewal answered with a redirect is not a new session: the call fails, the old session stays.
TEST(MoonbaseClient, ARedirectedRenewalKeepsTheOldSession) {
    Store store;
    store.signedInFor(10s);
    answerUser(store);
    store.routes().Post(refreshPath,
                        [](const httplib::Request&, httplib::Response& r) { json(r, identity("redirected"), 307); });
    auto& client = store.start();
    EXPECT_EQ(failure([&] { client.currentUser(); }), unexpected);
    EXPECT_TRUE(client.isSignedIn());
    EXPECT_EQ(store.persistence.load()->accessToken, "old-access");
    EXPECT_TRUE(store.to(userPath).empty());
}

// Each page takes ten seconds on the test's clock; the operation may take 45 in all.
TEST(MoonbaseClient, PagesStopAtTheOperationsDeadline) {
    Store store;
    store.signedInFor(24h);
    ManualClock clock;
    store.routes().Get(productsPath, [&clock](const httplib::Request& request, httplib::Response& r) {
        clock.advance(10s);
        json(r, R"({"items":[{"id":"p","name":"P","tagline":"t"}],"hasMore":true,"next":")" +
                    std::string(productsPath) + "?page=" + std::to_string(request.target.size()) + "\"}");
    });
    auto& client = store.start({.request = 60s, .operation = 45s, .now = clock.now()});
    try {
        client.ownedProducts();
        ADD_FAILURE() << "the pages went on past the deadline";
    } catch (const TransportError& e) {
        EXPECT_EQ(e, TransportError(TransportError::Kind::timedOut, storeHost, ""));
        EXPECT_STREQ(e.what(), "The request to store.demo.test timed out.");
    }
    EXPECT_EQ(store.to(productsPath).size(), 5u); // sent at 0, 10, 20, 30 and 40 seconds
    // The next operation has a deadline of its own.
    clock.advance(-clock.elapsedSeconds.load() * 1s);
    EXPECT_THROW(client.ownedProducts(), TransportError);
    EXPECT_EQ(store.to(productsPath).size(), 10u);
}

// A 401, the renewal and the retry share one deadline.
TEST(MoonbaseClient, RenewalAndRetryShareTheDeadline) {
    Store store;
    store.signedInFor(1h);
    ManualClock clock;
    store.routes().Get(userPath, [&clock](const httplib::Request&, httplib::Response& r) {
        clock.advance(30s);
        json(r, "{}", 401);
    });
    store.routes().Post(refreshPath, [&clock](const httplib::Request&, httplib::Response& r) {
        clock.advance(30s);
        json(r, identity("renewed"));
    });
    auto& client = store.start({.request = 60s, .operation = 50s, .now = clock.now()});
    EXPECT_THROW(client.currentUser(), TransportError);
    EXPECT_EQ(store.to(userPath).size(), 1u);
    EXPECT_EQ(store.to(refreshPath).size(), 1u);
    EXPECT_EQ(store.persistence.load()->accessToken, "renewed");

    // With no time at all, nothing is sent.
    auto& spent = store.start({.request = 60s, .operation = 0s, .now = clock.now()});
    const auto before = store.received.get().size();
    EXPECT_THROW(spent.storefront(), TransportError);
    EXPECT_EQ(store.received.get().size(), before);
}

TEST(MoonbaseClient, AStopRequestEndsThePagesWithCancelled) {
    Store store;
    store.signedInFor(1h);
    std::stop_source stop;
    std::atomic<int> pages = 0;
    store.routes().Get(productsPath, [&](const httplib::Request&, httplib::Response& r) {
        if (++pages == 2)
            stop.request_stop();
        json(r, R"({"items":[],"hasMore":true,"next":"/api/customer/inventory/products?more"})");
    });
    auto& client = store.start();
    EXPECT_THROW(client.ownedProducts(stop.get_token()), Cancelled);
    EXPECT_EQ(pages, 2);
}

// However much a service writes, the sentence keeps a readable length.
TEST(MoonbaseClient, ServerTextInSentencesIsCut) {
    Store store;
    const std::string flood(5 << 20, 'w');
    store.routes().Get("/api/customer/storefront", [&](const httplib::Request&, httplib::Response& r) {
        json(r, R"({"detail":")" + flood + "\"}", 500);
    });
    auto& client = store.start();
    const auto message = failure([&] { client.storefront(); });
    EXPECT_EQ(message, "The store returned 500. " + flood.substr(0, MoonbaseError::maxTextCharacters) + "…");
}

} // namespace
} // namespace ostrel
