// The demo services end to end: started in-process on a free port, reached only through the
// production transport built from the configuration they wrote (pinned to their own CA, with
// real host names routed to 127.0.0.1).
#include "DemoServices.h"
#include "DemoText.h"
#include "PaymentCards.h"
#include "PngReading.h"
#include "Services/AnswerDecoding.h"
#include "Services/CurlTransport.h"
#include "Services/InMemoryTokenPersistence.h"
#include "Services/LoopbackReceiver.h"
#include "Services/OstrelIDClient.h"
#include "Services/Paged.h"
#include "Services/Problem.h"
#include "Services/ProductSummary.h"
#include "Services/ServiceConfig.h"
#include "Services/SessionTokens.h"
#include "Services/Storefront.h"
#include "Services/TransportError.h"
#include "Services/User.h"
#include "TempDir.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <thread>
#include <tuple>

#include <gtest/gtest.h>

#include <httplib.h>

namespace ostrel::demo {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr auto tokenLifetime = 90s;

// Log lines, kept so a test can read what a person would get by e-mail.
class CapturedLog {
public:
    DemoLog sink() {
        return [this](const std::string& line) {
            const std::lock_guard guard(lock_);
            lines_.push_back(line);
        };
    }
    // The last match of `pattern`'s first group.
    std::string find(const std::regex& pattern) {
        const std::lock_guard guard(lock_);
        std::string found;
        std::smatch match;
        for (const auto& line : lines_)
            if (std::regex_search(line, match, pattern))
                found = match[1];
        return found;
    }

private:
    std::mutex lock_;
    std::vector<std::string> lines_;
};

DemoServicesOptions optionsFor(const std::filesystem::path& state, DemoLog log, ReleaseMaker maker = makeZipRelease) {
    return DemoServicesOptions{.stateFolder = state,
                               .catalogueFile = OSTREL_DEMO_CATALOGUE,
                               .port = 0,
                               .tokenLifetime = tokenLifetime,
                               .settleDelay = 0s,
                               .pageSize = 3,
                               .makeRelease = std::move(maker),
                               // Only the control address or stopping ends a stall in these tests.
                               .stallLimit = std::chrono::hours(1),
                               .log = std::move(log)};
}

// The pinned trust of the configuration, and the demo CA's pins for the store's asset host too:
// production leaves that host to the system's ordinary trust, which knows no demo CA.
PinnedTrust demoTrust(const ServiceConfig& config) {
    auto trust = config.pinnedTrust();
    trust.pins[config.storeAssetHost] = config.storePins;
    return trust;
}

struct Demo {
    test::TempDir dir;
    CapturedLog log;
    std::filesystem::path state = dir / "state";
    DemoServices services{optionsFor(state, log.sink())};
    ServiceConfig config = ServiceConfig::load(services.configFile());
    CurlTransport transport{demoTrust(config), CurlTransport::Options::from(config)};

    Demo() { services.start(); }
    // Services on a state folder of an earlier run.
    explicit Demo(std::filesystem::path keptState) : state(std::move(keptState)) { services.start(); }

    HTTPResponse send(const std::string& method, const std::string& url, const std::string& body = {},
                      std::vector<HTTPHeader> headers = {}) {
        return transport.send(HTTPRequest{.url = Url(url), .method = method, .headers = headers, .body = body});
    }
    HTTPResponse get(const std::string& url, std::vector<HTTPHeader> headers = {}) {
        return send("GET", url, {}, std::move(headers));
    }
    std::string store(const std::string& path) { return "https://" + config.storeApiHost + path; }
    std::string identity(const std::string& path) { return "https://" + config.identityApiHost + path; }

    IdentityResponse signIn(const std::string& email, const std::string& password = "demo") {
        const auto answer = send("POST", store("/api/customer/identity/sign-in?email=" + email + "&scheme=JWT"),
                                 password, {{"Content-Type", "text/plain"}});
        EXPECT_EQ(answer.status, 200) << answer.body;
        return decodeAnswer<IdentityResponse>(answer.body);
    }
    // An Ostrel ID session token, signed in with the code the log shows as mailed.
    std::string identityToken(const std::string& email) {
        EXPECT_EQ(send("POST", identity("/id/auth/email/code/request"), json{{"email", email}}.dump()).status, 200);
        const auto code =
            log.find(std::regex("code for " + std::regex_replace(email, std::regex("\\."), "\\.") + ": (\\d{6})"));
        const auto answer =
            send("POST", identity("/id/auth/email/code/complete"), json{{"email", email}, {"code", code}}.dump());
        EXPECT_EQ(answer.status, 200) << answer.body;
        return json::parse(answer.body).value("token", "");
    }
};

HTTPHeader bearer(const std::string& token) {
    return {"Authorization", "Bearer " + token};
}

// The download host's address for `path`, seen from a download address on it.
std::string controlOf(const std::string& location, const std::string& path) {
    return "https://" + Url(location).host().value_or("") + path;
}

// What the download host reports about its latest answer of the file at `location`.
json latestDownload(Demo& demo, const std::string& location) {
    const auto key = Url(location).path().substr(std::string("/files/").size());
    const auto list = json::parse(
        demo.get(controlOf(location, "/_demo/downloads?file=" + key.substr(0, key.find('/')))).body)["downloads"];
    return list.empty() ? json() : list.back();
}

TEST(DemoServices, ServesTheCatalogueOnlyToThePinnedDemoAuthority) {
    Demo demo;
    const auto answer = demo.get(demo.store("/api/customer/storefront"));
    ASSERT_EQ(answer.status, 200);
    const auto storefront = decodeAnswer<Storefront>(answer.body);
    EXPECT_EQ(storefront.enabledCurrencies, (std::vector<std::string>{"USD", "EUR", "GBP"}));
    EXPECT_GE(storefront.products.size(), 19u);
    EXPECT_EQ(storefront.bundles.size(), 1u);
    const auto count = [&](auto predicate) {
        return std::count_if(storefront.products.begin(), storefront.products.end(), predicate);
    };
    EXPECT_GE(count([](const StorefrontProduct& p) { return p.isFree(); }), 1);
    EXPECT_GE(count([](const StorefrontProduct& p) { return p.defaultVariation->recurrence.isRecurring(); }), 1);
    EXPECT_EQ(count([](const StorefrontProduct& p) { return p.macDownloads().empty(); }), 1); // not yet on the Mac
    EXPECT_EQ(count([](const StorefrontProduct& p) { return p.defaultVariation->price.size() != 3; }), 0);
    EXPECT_EQ(count([](const StorefrontProduct& p) { return p.owned; }), 0); // signed out

    // Another authority's pin does not reach it.
    auto trust = demo.config.pinnedTrust();
    trust.pins[demo.config.storeApiHost] = {std::string(43, 'A') + "="};
    CurlTransport wrongPins(trust, CurlTransport::Options::from(demo.config));
    try {
        wrongPins.send(HTTPRequest{.url = Url(demo.store("/api/customer/storefront"))});
        ADD_FAILURE() << "reached the store without its pin";
    } catch (const TransportError& e) {
        EXPECT_EQ(e.kind(), TransportError::Kind::notTrusted);
    }
}

TEST(DemoServices, KeepTheirAuthorityAcrossRestartsWhileItServesTheirHosts) {
    Demo demo;
    const auto pinsOf = [](const DemoServices& services) {
        return ServiceConfig::load(services.configFile()).storePins;
    };
    const DemoServices again(optionsFor(demo.dir / "state", [](const std::string&) {}));
    EXPECT_EQ(pinsOf(again), demo.config.storePins);
    EXPECT_EQ(demo.get(demo.store("/api/customer/storefront")).status, 200); // its certificate is still the one served

    test::writeFile(demo.dir / "state" / "tls" / "hosts.txt", "other.localhost\n");
    const DemoServices renewed(optionsFor(demo.dir / "state", [](const std::string&) {}));
    EXPECT_NE(pinsOf(renewed), demo.config.storePins);
}

// A text member of a feed item, empty when it is absent or not text (as the hub reads the feed).
std::string textIn(const json& item, const char* key) {
    return item.is_object() && item.contains(key) && item[key].is_string() ? item[key].get<std::string>() : "";
}

bool containsAny(const std::string& text, std::initializer_list<const char*> words) {
    return std::any_of(words.begin(), words.end(),
                       [&](const char* word) { return text.find(word) != std::string::npos; });
}

// A picture the download of `url` brings, read as a viewer would.
DecodedPng pictureAt(Demo& demo, const std::string& url) {
    EXPECT_TRUE(demo.config.hostPolicy().allowsImage(Url(url))) << url;
    const auto answer = demo.get(url);
    EXPECT_EQ(answer.status, 200) << url;
    EXPECT_EQ(answer.header("Content-Type"), "image/png") << url;
    return decodePng(answer.body);
}

TEST(DemoServices, ServeTheExtrasFeedWithEveryWayToInstallAndEntriesToSkip) {
    Demo demo;
    const auto answer = demo.get("https://" + demo.config.webDomain + "/downloads/ostrel-catalog-extras.json");
    ASSERT_EQ(answer.status, 200);
    EXPECT_EQ(answer.header("Content-Type"), "application/json");
    const auto feed = json::parse(answer.body);
    ASSERT_TRUE(feed.is_object() && feed["items"].is_array() && feed["media"].is_object());
    EXPECT_EQ(feed["version"], 1);
    const auto storefront = decodeAnswer<Storefront>(demo.get(demo.store("/api/customer/storefront")).body);
    std::set<std::string> onTheMac;
    for (const auto& product : storefront.products)
        if (!product.macDownloads().empty())
            onTheMac.insert(product.id);

    // Each item as the hub's lenient reader takes it: nameless ones and repeated ids are skipped.
    std::map<std::string, std::vector<std::string>> routes;
    std::set<std::string> ids;
    size_t skipped = 0;
    size_t earlyAccess = 0;
    for (const auto& item : feed["items"]) {
        const auto name = textIn(item, "name").empty() ? textIn(item, "title") : textIn(item, "name");
        auto id = textIn(item, "id").empty() ? lowercased(name) : textIn(item, "id");
        std::replace(id.begin(), id.end(), ' ', '-');
        if (name.empty() || !ids.insert(id).second) {
            ++skipped;
            continue;
        }
        earlyAccess += containsAny(lowercased(textIn(item, "kind")), {"game", "early"}) ||
                       containsAny(lowercased(textIn(item, "stage")), {"early", "alpha", "preview"});
        const bool signedByOstrel = item.value("signedByOstrel", json()) == json(true);
        const auto product = textIn(item, "productId").empty() ? id : textIn(item, "productId");
        const auto route = signedByOstrel && onTheMac.contains(product) ? "hub"
                           : !textIn(item, "releaseUrl").empty()        ? "browser"
                                                                        : "unavailable";
        routes[route].push_back(id);
        if (route == std::string("browser")) {
            EXPECT_EQ(demo.get(textIn(item, "releaseUrl")).header("Content-Type"), "text/html; charset=utf-8") << id;
        }
        EXPECT_NO_THROW(pictureAt(demo, textIn(item, "iconUrl"))) << id;
    }
    EXPECT_GE(routes["hub"].size(), 2u);
    EXPECT_GE(routes["browser"].size(), 2u);
    EXPECT_EQ(routes["unavailable"], std::vector<std::string>{"echo-lab-mac"}); // not released yet
    EXPECT_GE(skipped, 2u);                                                     // a broken entry and a repeat
    EXPECT_GE(earlyAccess, 2u);
    EXPECT_GE(ids.size() - earlyAccess, 2u); // free tools

    // Screenshots for every product on an image host, beside a media entry the reader drops.
    for (const auto& product : storefront.products) {
        const auto shots = feed["media"].value(product.id, json())["screenshots"];
        EXPECT_TRUE(shots.is_array() && !shots.empty()) << product.id;
        for (const auto& shot : shots)
            EXPECT_TRUE(demo.config.hostPolicy().allowsImage(Url(shot.get<std::string>()))) << shot;
    }
    EXPECT_TRUE(std::any_of(feed["media"].begin(), feed["media"].end(), [](const json& m) { return !m.is_object(); }));
}

TEST(DemoServices, DrawEveryProductsPicturesOnFirstRequestAndKeepThem) {
    Demo demo;
    namespace fs = std::filesystem;
    const auto kept = [&] {
        const auto folder = demo.state / "images";
        return fs::exists(folder) ? std::distance(fs::recursive_directory_iterator(folder),
                                                  fs::recursive_directory_iterator()) -
                                        1 // the folder of the current drawings
                                  : 0;
    };
    EXPECT_EQ(kept(), 0); // start-up draws nothing

    const auto storefront = decodeAnswer<Storefront>(demo.get(demo.store("/api/customer/storefront")).body);
    std::vector<std::string> iconUrls;
    for (const auto& product : storefront.products)
        iconUrls.push_back(product.iconUrl.value_or(""));
    for (const auto& bundle : storefront.bundles)
        iconUrls.push_back(bundle.iconUrl.value_or(""));
    std::set<std::vector<uint8_t>> icons;
    for (const auto& url : iconUrls) {
        const auto icon = pictureAt(demo, url);
        EXPECT_EQ(std::tie(icon.width, icon.height, icon.channels), std::make_tuple(256, 256, 4)) << url;
        EXPECT_GT(icon.distinctPixels(), 100u) << url;
        icons.insert(icon.pixels);
    }
    EXPECT_EQ(icons.size(), iconUrls.size()); // no two alike

    const auto feed =
        json::parse(demo.get("https://" + demo.config.webDomain + "/downloads/ostrel-catalog-extras.json").body);
    std::set<std::vector<uint8_t>> shots;
    for (const auto& url : feed["media"]["aurora-verb"]["screenshots"]) {
        const auto shot = pictureAt(demo, url.get<std::string>());
        EXPECT_EQ(std::tie(shot.width, shot.height), std::make_tuple(1280, 800)) << url;
        EXPECT_GT(shot.distinctPixels(), 100u) << url;
        shots.insert(shot.pixels);
    }
    EXPECT_EQ(shots.size(), 3u);
    EXPECT_EQ(kept(), static_cast<long>(iconUrls.size() + shots.size()));
    EXPECT_EQ(demo.get(iconUrls[0]).body, demo.get(iconUrls[0]).body);

    EXPECT_EQ(demo.get("https://" + demo.config.webDomain + "/images/no-such-thing/icon.png").status, 404);
    EXPECT_EQ(demo.get("https://" + demo.config.webDomain + "/images/aurora-verb/screenshot-4.png").status, 404);
}

TEST(DemoServices, SignInIssuesTokensThatLastTheConfiguredLifetime) {
    Demo demo;
    const auto before = SessionTokens::Clock::now();
    const auto session = demo.signIn("demo@ostrel.test");
    const auto expiry = JWT::expiry(session.accessToken);
    ASSERT_TRUE(expiry.has_value());
    EXPECT_NEAR(std::chrono::duration<double>(*expiry - before).count(), tokenLifetime.count(), 2.0);
    EXPECT_EQ(session.user.email, "demo@ostrel.test");

    const auto wrong = demo.send("POST", demo.store("/api/customer/identity/sign-in?email=demo@ostrel.test&scheme=JWT"),
                                 "nope", {{"Content-Type", "text/plain"}});
    EXPECT_EQ(wrong.status, 401);

    const auto owned =
        decodeAnswer<Storefront>(demo.get(demo.store("/api/customer/storefront"), {bearer(session.accessToken)}).body);
    EXPECT_TRUE(std::any_of(owned.products.begin(), owned.products.end(),
                            [](const auto& p) { return p.id == "aurora-verb" && p.owned; }));
    // A token that was tampered with is refused, so the hub renews its session.
    auto forged = session.accessToken;
    forged.back() = forged.back() == 'A' ? 'B' : 'A';
    EXPECT_EQ(demo.get(demo.store("/api/customer/storefront"), {bearer(forged)}).status, 401);

    const auto renewed = demo.send("POST", demo.store("/api/customer/identity/refresh?token=" + session.refreshToken),
                                   session.accessToken, {{"Content-Type", "text/plain"}});
    ASSERT_EQ(renewed.status, 200);
    const auto user = demo.get(demo.store("/api/customer/meta/user"),
                               {bearer(decodeAnswer<IdentityResponse>(renewed.body).accessToken)});
    EXPECT_EQ(decodeAnswer<User>(user.body).email, "demo@ostrel.test");
    EXPECT_EQ(demo.send("POST", demo.store("/api/customer/identity/refresh?token=unknown"), "").status, 401);
}

TEST(DemoServices, SessionsOutliveARestartOnTheSameStateFolder) {
    test::TempDir kept;
    const auto state = kept / "state";
    IdentityResponse session;
    std::string identityToken;
    std::string signedOut;
    {
        Demo first(state);
        session = first.signIn("demo@ostrel.test");
        identityToken = first.identityToken("someone@ostrel.test");
        signedOut = first.identityToken("leaving@ostrel.test");
        EXPECT_EQ(first.send("POST", first.identity("/id/auth/signout"), "{}", {bearer(signedOut)}).status, 200);
    }
    namespace fs = std::filesystem;
    EXPECT_EQ(fs::status(state / DemoServices::tokenKeyFileName).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    Demo again(state);
    const auto user = again.get(again.store("/api/customer/meta/user"), {bearer(session.accessToken)});
    ASSERT_EQ(user.status, 200) << user.body;
    EXPECT_EQ(decodeAnswer<User>(user.body).email, "demo@ostrel.test");
    EXPECT_EQ(again
                  .send("POST", again.store("/api/customer/identity/refresh?token=" + session.refreshToken),
                        session.accessToken, {{"Content-Type", "text/plain"}})
                  .status,
              200);
    const auto me = again.get(again.identity("/id/auth/me"), {bearer(identityToken)});
    ASSERT_EQ(me.status, 200) << me.body;
    EXPECT_EQ(json::parse(me.body)["user"]["email"], "someone@ostrel.test");
    EXPECT_EQ(again.get(again.identity("/id/auth/me"), {bearer(signedOut)}).status, 401);
    // A refresh token is no access token.
    EXPECT_EQ(again.get(again.store("/api/customer/meta/user"), {bearer(session.refreshToken)}).status, 401);

    // Services with another state folder have another key.
    Demo other;
    EXPECT_EQ(other.get(other.store("/api/customer/meta/user"), {bearer(session.accessToken)}).status, 401);
    EXPECT_EQ(other.get(other.identity("/id/auth/me"), {bearer(identityToken)}).status, 401);
}

TEST(DemoServices, SignUpWaitsForTheMailedConfirmationCode) {
    Demo demo;
    const json form{{"name", "Ada"},      {"email", "Ada+test@ostrel.test"}, {"password", "pw"},
                    {"address", nullptr}, {"acceptedPrivacyPolicy", true},   {"acceptedTermsAndConditions", true}};
    const auto signUp = [&] {
        return demo.send("POST", demo.store("/api/customer/identity/sign-up?scheme=JWT&communicationOptIn=false"),
                         form.dump(), {{"Content-Type", "application/json"}});
    };
    const auto made = signUp();
    ASSERT_EQ(made.status, 200) << made.body;
    const auto session = decodeAnswer<IdentityResponse>(made.body);
    EXPECT_EQ(session.user.confirmedAccount, false);
    EXPECT_EQ(signUp().status, 409);

    const auto code = demo.log.find(std::regex(R"(confirmation code for Ada\+test@ostrel\.test: (\S+))"));
    const auto confirm = [&](const std::string& email, const std::string& given) {
        return demo.send("POST", demo.store("/api/customer/identity/confirm-account?email=" +
                                            percentEncode(email, AllowedCharacters::queryValue()) +
                                            "&code=" + percentEncode(given, AllowedCharacters::queryValue())));
    };
    EXPECT_EQ(confirm("ada+test@ostrel.test", code + "X").status, 400);
    EXPECT_EQ(confirm("ada+test@ostrel.test", code).status, 200); // addresses match in any case
    const auto user = demo.get(demo.store("/api/customer/meta/user"), {bearer(session.accessToken)});
    EXPECT_EQ(decodeAnswer<User>(user.body).confirmedAccount, true);
}

TEST(DemoServices, InventoryPagesFollowNextOnTheStoreHost) {
    Demo demo;
    const auto token = demo.signIn("demo@ostrel.test").accessToken;
    EXPECT_EQ(demo.get(demo.store("/api/customer/inventory/products")).status, 401);

    std::vector<std::string> ids;
    std::string url = demo.store("/api/customer/inventory/products");
    int pages = 0;
    for (; pages < 10; ++pages) {
        const auto page = decodeAnswer<Paged<ProductSummary>>(demo.get(url, {bearer(token)}).body);
        EXPECT_LE(page.items.size(), 3u);
        for (const auto& item : page.items)
            ids.push_back(item.id);
        if (!page.hasMore)
            break;
        ASSERT_TRUE(page.next.has_value());
        EXPECT_TRUE(demo.config.hostPolicy().allowsAPI(Url(*page.next)));
        url = *page.next;
    }
    EXPECT_EQ(pages, 2); // seven owned products, three a page
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()),
              (std::set<std::string>{"aurora-verb", "tidal-delay", "grain-field", "meter-one", "sketchpad",
                                     "ostrel-tuner", "pulse-gate"}));
}

struct ResolvedDownload {
    Download download;
    std::string location;
};

ResolvedDownload resolve(Demo& demo, const std::string& token, const std::string& productId) {
    const auto product = decodeAnswer<ProductSummary>(
        demo.get(demo.store("/api/customer/inventory/products/" + productId), {bearer(token)}).body);
    const auto download = product.macDownloads().at(0);
    const auto link = demo.get(*download.path + "?redirect=false", {bearer(token)});
    EXPECT_EQ(link.status, 200) << link.body;
    return {download, json::parse(link.body).value("location", "")};
}

TEST(DemoServices, DownloadLinksReachTheDownloadHostWhichHonoursRanges) {
    Demo demo;
    const auto token = demo.signIn("demo@ostrel.test").accessToken;
    const auto [download, location] = resolve(demo, token, "aurora-verb");
    EXPECT_TRUE(demo.config.hostPolicy().allowsDownload(Url(location))) << location;

    const auto whole = demo.get(location);
    ASSERT_EQ(whole.status, 200);
    EXPECT_EQ(static_cast<int64_t>(whole.body.size()), download.size);
    EXPECT_EQ(whole.header("Content-Length"), std::to_string(download.size));
    const auto etag = whole.header("ETag").value_or("");
    const auto lastModified = whole.header("Last-Modified").value_or("");
    EXPECT_TRUE(std::regex_match(etag, std::regex(R"("[0-9a-f]{16}")"))) << etag;
    EXPECT_TRUE(
        std::regex_match(lastModified, std::regex(R"([A-Z][a-z]{2}, \d\d [A-Z][a-z]{2} \d{4} \d\d:\d\d:\d\d GMT)")))
        << lastModified;

    const auto size = std::to_string(download.size);
    const auto last = download.size - 1;
    struct Case {
        std::vector<HTTPHeader> headers;
        int status;
        int64_t first; // of the expected body, in the whole file
        int64_t length;
    };
    const std::vector<Case> cases{
        {{{"Range", "bytes=10-19"}, {"If-Range", etag}}, 206, 10, 10},
        {{{"Range", "bytes=" + std::to_string(last - 4) + "-"}}, 206, last - 4, 5},
        {{{"Range", "bytes=-5"}}, 206, last - 4, 5},
        {{{"Range", "bytes=100-" + std::to_string(download.size + 50)}}, 206, 100, download.size - 100},
        {{{"Range", "bytes=10-19"}, {"If-Range", "\"older\""}}, 200, 0, download.size}, // the file changed
        {{{"Range", "bytes=10-19"}, {"If-Range", "W/" + etag}}, 200, 0, download.size}, // weak: never a match
        {{{"Range", "bytes=10-19"}, {"If-Range", lastModified}}, 206, 10, 10},
        {{{"Range", "bytes=10-19"}, {"If-Range", "Thu, 01 Jan 2015 00:00:00 GMT"}}, 200, 0, download.size},
        {{{"Range", "bytes=0-1,5-6"}}, 200, 0, download.size}, // several: the whole file
        {{{"Range", "bytes=" + size + "-"}}, 416, 0, 0},
        {{{"Range", "bytes=-0"}}, 416, 0, 0},
    };
    for (const auto& c : cases) {
        const auto answer = demo.get(location, c.headers);
        EXPECT_EQ(answer.status, c.status) << c.headers[0].value;
        EXPECT_TRUE(answer.body == whole.body.substr(static_cast<size_t>(c.first), static_cast<size_t>(c.length)))
            << c.headers[0].value;
        const auto expectedRange = c.status == 206   ? std::optional("bytes " + std::to_string(c.first) + "-" +
                                                                     std::to_string(c.first + c.length - 1) + "/" + size)
                                   : c.status == 416 ? std::optional("bytes */" + size)
                                                     : std::nullopt;
        EXPECT_EQ(answer.header("Content-Range"), expectedRange) << c.headers[0].value;
        if (c.status == 416)
            continue;
        // The download host counts what it sent, so a resumed download can be shown to fetch only the rest.
        const auto record = json::parse(
            demo.get(controlOf(location, "/_demo/downloads/" + answer.header("X-Demo-Download").value_or("0"))).body);
        EXPECT_EQ(record.value("sent", -1), c.length) << c.headers[0].value;
        EXPECT_EQ(record.value("state", ""), "complete") << c.headers[0].value;
    }

    // A product the customer does not own has no link for them.
    const auto product =
        decodeAnswer<ProductSummary>(demo.get(demo.store("/api/customer/inventory/products/velvet-comp")).body);
    EXPECT_EQ(demo.get(*product.macDownloads().at(0).path + "?redirect=false", {bearer(token)}).status, 403);
}

TEST(DemoServices, ServeTheReleaseFilesTheirMakerMade) {
    test::TempDir dir;
    auto options = optionsFor(dir / "state", [](const std::string&) {});
    options.makeRelease = [](const CatalogueProduct& product, Platform platform, const std::filesystem::path& folder) {
        const auto file = folder / (product.id + "-" + std::string(rawValue(platform)) + ".pkg");
        test::writeFile(file, "signed release of " + product.id);
        return file;
    };
    DemoServices services(std::move(options));
    services.start();
    const auto config = ServiceConfig::load(services.configFile());
    CurlTransport transport(config.pinnedTrust(), CurlTransport::Options::from(config));
    const auto get = [&](const std::string& url) { return transport.send(HTTPRequest{.url = Url(url)}); };

    const auto product = decodeAnswer<ProductSummary>(
        get("https://" + config.storeApiHost + "/api/customer/inventory/products/meter-one").body);
    const auto download = product.macDownloads().at(0);
    EXPECT_EQ(download.name, "Meter One 1.0.6.pkg");
    EXPECT_EQ(download.size, static_cast<int64_t>(std::string("signed release of meter-one").size()));
    const auto token = decodeAnswer<IdentityResponse>(
                           transport
                               .send(HTTPRequest{.url = Url("https://" + config.storeApiHost +
                                                            "/api/customer/identity/sign-in?email=new@ostrel.test"),
                                                 .method = "POST",
                                                 .body = "demo"})
                               .body)
                           .accessToken;
    const auto link = transport.send(
        HTTPRequest{.url = Url(*download.path + "?redirect=false"), .headers = {bearer(token)}}); // free: no purchase
    EXPECT_EQ(get(json::parse(link.body).at("location").get<std::string>()).body, "signed release of meter-one");
}

TEST(DemoServices, DownloadsMisbehaveOnRequest) {
    Demo demo;
    const auto token = demo.signIn("demo@ostrel.test").accessToken;
    const auto [download, location] = resolve(demo, token, "tidal-delay");
    const auto whole = demo.get(location).body;

    const auto wrongSize = demo.get(location + "?fault=wrong-size");
    EXPECT_EQ(static_cast<int64_t>(wrongSize.body.size()), download.size + 4096);
    EXPECT_EQ(demo.get(location + "?fault=slow").body, whole);
    const auto redirect = demo.get(location + "?fault=http-redirect");
    EXPECT_EQ(redirect.status, 302);
    EXPECT_EQ(redirect.header("Location"), "http://" + location.substr(std::string("https://").size()));
    EXPECT_EQ(demo.get(location + "?fault=not-found").status, 404);
    EXPECT_THROW(demo.get(location + "?fault=drop"), TransportError);
    const auto dropped = latestDownload(demo, location);
    EXPECT_EQ(dropped.value("sent", -1), download.size / 2);
    EXPECT_EQ(dropped.value("state", ""), "cut");
    const auto ignored = demo.get(location + "?fault=ignore-range", {{"Range", "bytes=10-19"}});
    EXPECT_EQ(ignored.status, 200);
    EXPECT_EQ(ignored.body, whole);
    EXPECT_EQ(ignored.header("Content-Range"), std::nullopt);

    // The control address makes the next download (only) drop, whatever its address.
    const auto control = controlOf(location, "");
    EXPECT_EQ(demo.send("POST", control + "/_demo/fault?mode=drop&count=1").status, 200);
    EXPECT_THROW(demo.get(location), TransportError);
    EXPECT_EQ(demo.get(location).body, whole);

    // Mistakes at the control address are named, with what is accepted; a POST without any body
    // length (as `curl -X POST` sends) is read as empty.
    const std::vector<HTTPHeader> noLength{{"Content-Length", ""}};
    const std::vector<std::pair<std::string, std::string>> mistakes{
        {"/_demo/fault?mode=sideways", "The fault \"sideways\" is unknown; the accepted faults are none, wrong-size,"},
        {"/_demo/fault?mdoe=drop", "The switch \"mdoe\" is unknown; the fault control accepts mode=FAULT and count=N."},
        {"/_demo/fault", "Name the fault with mode=FAULT, one of none, wrong-size,"},
        {"/_demo/fault?mode=drop&count=0", "The count \"0\" is not accepted: give a whole number from 1 to 99999"},
        {"/_demo/fault?mode=drop&count=100000", "The count \"100000\" is not accepted"},
    };
    for (const auto& [path, message] : mistakes) {
        const auto answer = demo.send("POST", control + path, "", noLength);
        EXPECT_EQ(answer.status, 400) << path;
        EXPECT_NE(Problem::fromBody(answer.body).detail.value_or("").find(message), std::string::npos)
            << path << ": " << answer.body;
    }
    EXPECT_EQ(demo.send("POST", control + "/_demo/fault?mode=none&count=99999", "", noLength).status, 200);
    const auto unknown = demo.get(location + "?fault=bogus");
    EXPECT_EQ(unknown.status, 400);
    EXPECT_NE(Problem::fromBody(unknown.body).detail.value_or("").find("The fault \"bogus\" is unknown"),
              std::string::npos)
        << unknown.body;
}

// A download that reads the body of `location` with the stall switch on its own thread, as a
// downloader would, counting the bytes that arrive.
class StalledDownload {
public:
    StalledDownload(const Demo& demo, const std::string& location)
        : client_("127.0.0.1", demo.services.port()), reader_([this, location] { read(location); }) {}
    ~StalledDownload() { reader_.join(); }

    // Waits (for as long as it takes) until `bytes` have arrived or the connection has closed.
    size_t waitFor(size_t bytes) {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [&] { return received_ >= bytes || ended_; });
        return received_;
    }
    // Waits until the connection has closed; the bytes received.
    size_t waitForEnd() {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [&] { return ended_; });
        return received_;
    }
    bool ended() {
        const std::lock_guard guard(lock_);
        return ended_;
    }

private:
    void read(const std::string& location) {
        // The demo's own certificate is checked by every other test; this client only counts bytes.
        client_.enable_server_certificate_verification(false);
        const Url url(location + "?fault=stall");
        client_.Get(url.pathAndQuery().c_str(), httplib::Headers{{"Host", url.host().value_or("")}},
                    [this](const char*, size_t length) {
                        const std::lock_guard guard(lock_);
                        received_ += length;
                        changed_.notify_all();
                        return true;
                    });
        const std::lock_guard guard(lock_);
        ended_ = true;
        changed_.notify_all();
    }

    httplib::SSLClient client_;
    std::mutex lock_;
    std::condition_variable changed_;
    size_t received_ = 0;
    bool ended_ = false;
    std::thread reader_;
};

// The download host's latest answer for `location` once it reports `state`.
json downloadOnceIn(Demo& demo, const std::string& location, const std::string& state) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if (auto record = latestDownload(demo, location); record.value("state", "") == state)
            return record;
        std::this_thread::sleep_for(10ms);
    }
    return latestDownload(demo, location);
}

TEST(DemoServices, AStalledDownloadHoldsItsConnectionOpenUntilLetGo) {
    Demo demo;
    const auto token = demo.signIn("demo@ostrel.test").accessToken;
    const auto [download, location] = resolve(demo, token, "tidal-delay");
    const auto half = static_cast<size_t>(download.size / 2);
    {
        StalledDownload stalled(demo, location);
        EXPECT_EQ(stalled.waitFor(half), half);
        const auto record = downloadOnceIn(demo, location, "stalled");
        EXPECT_EQ(record.value("state", ""), "stalled");
        EXPECT_EQ(record.value("sent", -1), download.size / 2);
        EXPECT_FALSE(stalled.ended()); // held open

        EXPECT_EQ(demo.send("POST", controlOf(location, "/_demo/fault?mode=none")).status, 200);
        EXPECT_EQ(stalled.waitForEnd(), half);
        EXPECT_EQ(downloadOnceIn(demo, location, "cut").value("state", ""), "cut");
    }
    // Stopping the services lets a stalled download go rather than wait for it.
    StalledDownload stalled(demo, location);
    EXPECT_EQ(stalled.waitFor(half), half);
    EXPECT_EQ(downloadOnceIn(demo, location, "stalled").value("state", ""), "stalled");
    demo.services.stop();
    EXPECT_EQ(stalled.waitForEnd(), half);
}

TEST(DemoServices, PayingOnTheCheckoutPageSettlesTheOrderAndHandsOverItsProducts) {
    Demo demo;
    const auto token = demo.signIn("new@ostrel.test").accessToken;
    const std::string orderId = "0f0e0d0c-0000-4000-8000-000000000001";
    const std::string returnUrl = "https://" + demo.config.webDomain + "/hub/checkout-complete?order=" + orderId;
    const json order{{"currency", "EUR"},
                     {"items",
                      {{{"id", "line-1"},
                        {"type", "Product"},
                        {"productId", "velvet-comp"},
                        {"quantity", 1},
                        {"variationId", "velvet-comp-full"}}}}};
    const auto pushed = demo.send("PATCH",
                                  demo.store("/api/customer/orders/" + orderId + "?checkout=true&returnUrl=" +
                                             percentEncode(returnUrl, AllowedCharacters::queryValue())),
                                  order.dump(), {{"Content-Type", "application/json"}, bearer(token)});
    ASSERT_EQ(pushed.status, 200) << pushed.body;
    const auto created = decodeAnswer<Order>(pushed.body);
    EXPECT_EQ(created.status, OrderStatus::open);
    EXPECT_EQ(created.total->due.amount, 55);
    ASSERT_TRUE(created.checkoutUrl.has_value());
    EXPECT_TRUE(demo.config.hostPolicy().allowsAPI(Url(*created.checkoutUrl)));

    EXPECT_NE(demo.get(*created.checkoutUrl).body.find("Pay now"), std::string::npos);
    // The page's form: an e-mail address and the test card that always pays.
    const std::string form =
        "email=new%40ostrel.test&card=" + percentEncode(PaymentCards::paying, AllowedCharacters::queryValue());
    const auto paid =
        demo.send("POST", *created.checkoutUrl + "/pay", form, {{"Content-Type", "application/x-www-form-urlencoded"}});
    EXPECT_EQ(paid.status, 303);
    EXPECT_EQ(paid.header("Location"), returnUrl);
    EXPECT_TRUE(isSettled(decodeAnswer<Order>(demo.get(demo.store("/api/customer/orders/" + orderId)).body).status));
    const auto user = decodeAnswer<User>(demo.get(demo.store("/api/customer/meta/user"), {bearer(token)}).body);
    EXPECT_EQ(user.ownedProducts, std::vector<std::string>{"velvet-comp"});
    EXPECT_EQ(
        demo.send("POST", *created.checkoutUrl + "/pay", form, {{"Content-Type", "application/x-www-form-urlencoded"}})
            .status,
        409);
}

TEST(DemoServices, IdentitySignsInByMailedCodeAndThroughTheBrowser) {
    Demo demo;
    const auto postJson = [&](const std::string& path, const json& body, std::vector<HTTPHeader> headers = {}) {
        headers.push_back({"Content-Type", "application/json"});
        return demo.send("POST", demo.identity(path), body.dump(), headers);
    };
    ASSERT_EQ(postJson("/id/auth/email/code/request", {{"email", "someone@ostrel.test"}}).status, 200);
    const auto code = demo.log.find(std::regex("code for someone@ostrel\\.test: (\\d{6})"));
    ASSERT_EQ(code.size(), 6u);
    EXPECT_EQ(postJson("/id/auth/email/code/complete", {{"email", "someone@ostrel.test"}, {"code", "000000x"}}).status,
              400);
    const auto completed = postJson("/id/auth/email/code/complete", {{"email", "someone@ostrel.test"}, {"code", code}});
    ASSERT_EQ(completed.status, 200);
    const auto me = demo.get(demo.identity("/id/auth/me"), {bearer(json::parse(completed.body)["token"])});
    EXPECT_EQ(json::parse(me.body)["user"]["email"], "someone@ostrel.test");

    // The provider's page links to "Continue", which sends the browser back to the loopback
    // receiver with the state it was given.
    const std::string verifier(43, 'v');
    const std::string challenge = "7w_YNF9DSfIdPf_pRjSq646_kPr-2-o9NAl16JGghdM"; // S256 of the verifier
    const auto start = [&] {
        const auto page =
            demo.get(demo.identity("/auth/github/start?state=st4te&port=49152&hub_challenge=" + challenge));
        EXPECT_EQ(page.status, 200);
        EXPECT_NE(page.body.find("Sign in with GitHub"), std::string::npos);
        std::smatch link;
        const std::string body = page.body;
        EXPECT_TRUE(std::regex_search(body, link, std::regex("href=\"([^\"]+)\">Continue as Demo Customer")));
        std::string target = link.size() > 1 ? link[1].str() : std::string("/missing");
        target = std::regex_replace(target, std::regex("&amp;"), "&");
        return demo.get(demo.identity(target));
    };
    EXPECT_EQ(demo.get(demo.identity("/auth/github/start?state=st4te&port=49152&hub_challenge=short")).status, 400);
    EXPECT_EQ(demo.get(demo.identity("/auth/github/continue?state=st4te&port=0&hub_challenge=" + challenge)).status,
              400);
    const std::regex callback(R"(http://127\.0\.0\.1:49152/cb\?state=st4te&hub_code=([A-Za-z0-9_-]+))");
    std::smatch match;
    const auto first = start().header("Location").value_or("");
    ASSERT_TRUE(std::regex_match(first, match, callback)) << first;
    EXPECT_EQ(postJson("/auth/hub/exchange", {{"code", match[1].str()}, {"verifier", "wrong"}}).status, 400);
    const auto second = start().header("Location").value_or("");
    ASSERT_TRUE(std::regex_match(second, match, callback));
    const auto exchanged = postJson("/auth/hub/exchange", {{"code", match[1].str()}, {"verifier", verifier}});
    ASSERT_EQ(exchanged.status, 200) << exchanged.body;
    const auto qid = json::parse(exchanged.body)["qid"].get<std::string>();
    const auto profile = json::parse(demo.get(demo.identity("/id/auth/me"), {bearer(qid)}).body);
    EXPECT_EQ(profile["user"]["email"], "demo@ostrel.test");
    EXPECT_EQ(postJson("/auth/hub/exchange", {{"code", match[1].str()}, {"verifier", verifier}}).status, 400);

    EXPECT_EQ(postJson("/id/auth/signout", json::object(), {bearer(qid)}).status, 200);
    EXPECT_EQ(demo.get(demo.identity("/id/auth/me"), {bearer(qid)}).status, 401);
}

TEST(DemoServices, ReviewsPageByCursorAndHoldBackModeratedPosts) {
    Demo demo;
    std::vector<std::string> ids;
    std::string query = "/id/reviews?product=aurora-verb&limit=3";
    for (int page = 0; page < 5; ++page) {
        const auto answer = json::parse(demo.get(demo.identity(query)).body);
        EXPECT_EQ(answer["summary"]["count"], 4);
        for (const auto& review : answer["reviews"])
            ids.push_back(review["id"]);
        if (!answer.contains("nextCursor"))
            break;
        query = "/id/reviews?product=aurora-verb&limit=3&cursor=" + answer["nextCursor"].get<std::string>();
    }
    EXPECT_EQ(ids.size(), 4u);

    const auto token = demo.identityToken("demo@ostrel.test");
    const auto post = [&](const std::string& product, const std::string& body) {
        const json draft{{"productId", product}, {"rating", 2}, {"title", "Hmm"}, {"body", body}};
        return demo.send("POST", demo.identity("/id/reviews"), draft.dump(), {bearer(token)});
    };
    const auto held = post("aurora-verb", "Where is the keygen?");
    ASSERT_EQ(held.status, 200);
    EXPECT_TRUE(json::parse(held.body)["review"].value("hidden", false));
    EXPECT_EQ(json::parse(demo.get(demo.identity("/id/reviews?product=aurora-verb&limit=10")).body)["summary"]["count"],
              4);
    const auto mine =
        json::parse(demo.get(demo.identity("/id/reviews/mine?product=aurora-verb"), {bearer(token)}).body);
    EXPECT_EQ(mine["review"]["body"], "Where is the keygen?");
    EXPECT_EQ(post("stem-split", "Not mine yet.").status, 403); // neither owned nor free
}

} // namespace
} // namespace ostrel::demo

namespace ostrel::demo {
namespace {

TEST(DemoCatalogue, RefusesBrokenCataloguesSayingWhatIsWrong) {
    const auto catalogue = [](const std::string& product, const std::string& owns = "[]") {
        return R"({"suggestedCurrency":"USD","currencies":["USD"],"customers":[{"id":"c","email":"a@b","name":"A",)"
               R"("password":"p","owns":)" +
               owns + R"(}],"products":[)" + product + "]}";
    };
    const std::string good = R"({"id":"p1","name":"P","tagline":"t","kind":"app","version":"1.0","colour":[1,2,3],)"
                             R"("variations":[{"id":"v","name":"V","price":{"USD":5}}]})";
    EXPECT_EQ(DemoCatalogue::parse(catalogue(good, R"(["p1"])")).products.at(0).bundleNames(),
              std::vector<std::string>{"P.app"});
    const std::vector<std::pair<std::string, std::string>> broken{
        {catalogue(good, R"(["p2"])"), "a@b owns the unknown product \"p2\""},
        {catalogue(R"({"id":"p1","name":"P","tagline":"t","kind":"plugin","formats":["AAX"],"version":"1",)"
                   R"("colour":[1,2,3],"variations":[{"id":"v","name":"V","price":{"USD":5}}]})"),
         "product p1: unknown plug-in format \"AAX\""},
        {catalogue(R"({"id":"p1","name":"P","tagline":"t","kind":"app","version":"1","colour":[1,2,3],)"
                   R"("variations":[]})"),
         "product p1: no variations"},
    };
    for (const auto& [text, message] : broken) {
        try {
            DemoCatalogue::parse(text);
            ADD_FAILURE() << "accepted: " << message;
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    }
}

} // namespace
} // namespace ostrel::demo

namespace ostrel::demo {
namespace {

TEST(DemoServices, BrowserSignInRoundTripsThroughARealLoopbackReceiver) {
    Demo demo;
    // The client shares the demo's transport for the life of the test.
    const std::shared_ptr<HTTPTransport> transport(&demo.transport, [](HTTPTransport*) {});
    OstrelIDClient identity(OstrelIDClient::apiBase(demo.config.identityApiHost),
                            OstrelIDClient::signInBase(demo.config.identityApiHost), transport,
                            std::make_shared<InMemoryTokenPersistence>());
    LoopbackReceiver receiver;
    const uint16_t port = receiver.start();
    const auto start = identity.providerURL(OstrelIDProvider::github, receiver.state(), port, receiver.challenge());

    // What the browser does once the user chooses "Continue" on the provider's page (the page's
    // link keeps the start's query): follow the redirect to this machine.
    auto chosen = start.text();
    const auto at = chosen.find("/start?");
    ASSERT_NE(at, std::string::npos) << chosen;
    chosen.replace(at, 7, "/continue?");
    const auto location = demo.get(chosen).header("Location").value_or("");
    const std::string prefix = "http://127.0.0.1:" + std::to_string(port);
    ASSERT_TRUE(location.starts_with(prefix + "/cb?")) << location;
    httplib::Client browser("127.0.0.1", port);
    const auto page = browser.Get(location.substr(prefix.size()).c_str());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);

    identity.exchange(receiver.wait(std::chrono::seconds(10)).code, receiver.verifier());
    EXPECT_EQ(identity.profile().user.email, "demo@ostrel.test");
}

} // namespace
} // namespace ostrel::demo
