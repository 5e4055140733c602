// The extras feed fetched from a real HTTPS server on 127.0.0.1 under the maker's web host.
#include "Catalog/CatalogExtrasClient.h"
#include "Catalog/PlainImageTransport.h"
#include "CatalogTestServer.h"
#include "Services/CurlTransport.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

using test::CatalogTestServer;

constexpr const char* feedPath = "/downloads/ostrel-catalog-extras.json";
const std::string feed = R"({"version": 1, "items": [{"id": "tuner", "name": "Tuner", "signedByOstrel": true}]})";

// A body of exactly `size` bytes that decodes as an empty feed.
std::string paddedFeed(std::size_t size) {
    std::string body = R"({"version": 1})";
    body.resize(size, ' ');
    return body;
}

struct Fixture {
    CatalogTestServer server;
    std::shared_ptr<HTTPTransport> transport;

    Fixture() {
        server.routes().Get(feedPath, [](const httplib::Request&, httplib::Response& response) {
            response.set_content(feed, "application/json");
        });
    }
    void start() {
        server.start();
        transport = std::make_shared<CurlTransport>(server.config().pinnedTrust(),
                                                    CurlTransport::Options::from(server.config()));
    }
    CatalogExtrasClient client() { return CatalogExtrasClient::forConfig(server.config(), transport); }
    CatalogExtrasClient clientFor(const std::string& url) {
        return {Url(url), server.config().hostPolicy(), transport};
    }
    void serve(const std::string& path, int status, const std::string& body) {
        server.routes().Get(path, [=](const httplib::Request&, httplib::Response& response) {
            response.status = status;
            response.set_content(body, "application/json");
        });
    }
};

TEST(CatalogExtrasClient, FetchesTheFeedFromTheMakersWebHostAsJson) {
    Fixture f;
    test::Seen<httplib::Request> seen;
    f.server.routes().Get("/feed-headers.json", [&](const httplib::Request& request, httplib::Response& response) {
        seen.update([&](httplib::Request& copy) {
            copy.method = request.method;
            copy.headers = request.headers;
        });
        response.set_content(feed, "application/json");
    });
    f.start();

    const auto client = f.client();
    EXPECT_EQ(client.url, Url("https://ostrel.test/downloads/ostrel-catalog-extras.json"));
    const auto fetched = client.fetch();
    ASSERT_TRUE(fetched.has_value());
    EXPECT_EQ(*fetched, CatalogExtras::decode(feed));
    EXPECT_EQ(f.server.requests(CatalogTestServer::web, feedPath), 1);

    ASSERT_TRUE(f.clientFor(CatalogTestServer::url(CatalogTestServer::web, "/feed-headers.json")).fetch());
    const auto received = seen.get();
    EXPECT_EQ(received.method, "GET");
    EXPECT_EQ(received.get_header_value("Accept"), "application/json");
    EXPECT_EQ(received.get_header_value("User-Agent"), "Ostrel Hub (macOS)");
    EXPECT_FALSE(received.has_header("Cookie"));
    EXPECT_FALSE(received.has_header("Authorization"));
}

TEST(CatalogExtrasClient, AnAddressOutsideTheAssetHostsIsNeverRequested) {
    Fixture f;
    f.start();
    // A transport without pins would reach every one of these hosts: the refusal is the client's.
    f.transport = std::make_shared<PlainImageTransport>(CurlTransport::Options::from(f.server.config()));
    const auto& config = f.server.config();
    for (const auto& address :
         {CatalogTestServer::url(CatalogTestServer::stranger, feedPath),
          CatalogTestServer::url(config.storeApiHost, feedPath),
          CatalogTestServer::url(CatalogTestServer::subdomain, feedPath),
          std::string("https://ostrel.test:8443") + feedPath, std::string("http://ostrel.test") + feedPath,
          std::string("https://me@ostrel.test") + feedPath})
        EXPECT_EQ(f.clientFor(address).fetch(), std::nullopt) << address;
    EXPECT_EQ(f.server.requests(), 0);
    // Upper case in the host still names an asset host.
    EXPECT_TRUE(f.clientFor(std::string("https://OSTREL.test") + feedPath).fetch().has_value());
    // The same transport does reach a host the client refuses.
    const HTTPRequest direct{.url = Url(CatalogTestServer::url(CatalogTestServer::stranger, feedPath))};
    EXPECT_EQ(f.transport->send(direct).status, 200);
}

TEST(CatalogExtrasClient, AnythingButAGoodAnswerIsAbsent) {
    Fixture f;
    f.serve("/missing.json", 404, feed);
    f.serve("/broken.json", 500, feed);
    f.serve("/moved.json", 301, feed);
    f.serve("/created.json", 201, feed);
    f.serve("/version-2.json", 200, R"({"version": 2})");
    f.serve("/array.json", 200, "[" + feed + "]");
    f.serve("/largest.json", 200, paddedFeed(CatalogExtrasClient::maxBodyBytes));
    f.serve("/too-large.json", 200, paddedFeed(CatalogExtrasClient::maxBodyBytes + 1));
    f.start();

    for (const char* path : {"/missing.json", "/broken.json", "/moved.json", "/created.json", "/version-2.json",
                             "/array.json", "/too-large.json", "/nothing-here.json"})
        EXPECT_EQ(f.clientFor(CatalogTestServer::url(CatalogTestServer::web, path)).fetch(), std::nullopt) << path;
    EXPECT_EQ(f.clientFor(CatalogTestServer::url(CatalogTestServer::web, "/largest.json")).fetch(),
              (CatalogExtras{.version = 1, .items = {}, .media = {}}));
}

TEST(CatalogExtrasClient, AConnectionThatFailsIsAbsent) {
    Fixture f;
    f.start();
    const auto stranger = fixtures::makeTlsChain(f.server.dir() / "stranger", {.hostNames = {CatalogTestServer::web}});
    auto config = f.server.config();
    config.identityPins = {stranger.rootPin};
    auto transport = std::make_shared<CurlTransport>(config.pinnedTrust(), CurlTransport::Options::from(config));
    EXPECT_EQ(CatalogExtrasClient::forConfig(config, transport).fetch(), std::nullopt);
    EXPECT_EQ(f.server.requests(), 0);
}

} // namespace
} // namespace ostrel
