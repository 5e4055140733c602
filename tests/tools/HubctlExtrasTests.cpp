// `ostrel-hubctl extras` as its own process, against an HTTPS server on 127.0.0.1 that answers
// for the maker's web host and the store, reached through a service configuration file.
#include "LocalHttpsServer.h"
#include "Services/ServiceConfig.h"
#include "TempDir.h"
#include "TlsChains.h"
#include "Util/Subprocess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace ostrel;
using ::testing::HasSubstr;

namespace {

constexpr const char* feedPath = "/downloads/ostrel-catalog-extras.json";

const std::string feed = R"({"version": 1, "items": [
    {"id": "tuner", "name": "Tuner", "kind": "tool", "signedByOstrel": true, "productId": "ostrel-tuner"},
    {"id": "impulses", "name": "Impulse Pack", "releaseUrl": "https://ostrel.test/impulses.zip"},
    {"title": "Pitch Pong", "kind": "Game", "releaseUrl": "https://ostrel.test/pong.zip"},
    {"id": "prism-preview", "name": "Prism Preview", "stage": "Public Preview", "signedByOstrel": true,
     "productId": "prism-eq"}
]})";

// The tuner has a Mac download; Prism EQ only a Windows one.
const std::string storefront = R"({"suggestedCurrency": "USD", "bundles": [], "products": [
    {"id": "ostrel-tuner", "name": "Tuner", "tagline": "", "owned": false,
     "downloads": [{"name": "Tuner.zip", "key": "t", "platform": "Mac", "size": 10}]},
    {"id": "prism-eq", "name": "Prism EQ", "tagline": "", "owned": false,
     "downloads": [{"name": "Prism.exe", "key": "p", "platform": "Windows", "size": 10}]}
]})";

struct Services {
    test::TempDir dir;
    fixtures::TlsChain chain = fixtures::makeTlsChain(dir / "tls", {.hostNames = {"ostrel.test", "store.test"}});
    test::LocalHttpsServer server{chain};
    std::filesystem::path configFile = dir / "services.json";

    void serve(const std::string& path, int status, const std::string& body) {
        server.routes().Get(path, [=](const httplib::Request&, httplib::Response& response) {
            response.status = status;
            response.set_content(body, "application/json");
        });
    }
    void start() {
        server.start();
        auto config = ServiceConfig::production();
        config.webDomain = "ostrel.test";
        config.storeApiHost = "store.test";
        config.identityPins = config.storePins = {chain.rootPin};
        config.caBundle = chain.root;
        config.connectTo = {{"ostrel.test", server.address()}, {"store.test", server.address()}};
        test::writeFile(configFile, config.toJson());
    }
};

Subprocess::Result extras(const std::vector<std::string>& arguments) {
    std::vector<std::string> words{"extras"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return Subprocess::run(OSTREL_HUBCTL, words, 60);
}

TEST(HubctlExtras, PrintsBothShelvesWithEachItemsInstallRoute) {
    Services services;
    services.serve(feedPath, 200, feed);
    services.serve("/api/customer/storefront", 200, storefront);
    services.start();

    const auto result = extras({"--config", services.configFile.string()});
    EXPECT_EQ(result.status, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput,
              "Free tools:\n"
              "  Tuner (tuner): install through the hub (product ostrel-tuner)\n"
              "  Impulse Pack (impulses): download in the browser: "
              "https://ostrel.test/impulses.zip\n"
              "Early access:\n"
              "  Pitch Pong (pitch-pong): download in the browser: https://ostrel.test/pong.zip\n"
              "  Prism Preview (prism-preview): not available\n");
    EXPECT_EQ(result.standardError, "");
}

TEST(HubctlExtras, WithoutTheStoreNothingIsInstallableThroughTheHub) {
    Services services;
    services.serve(feedPath, 200, feed);
    services.serve("/api/customer/storefront", 503, R"({"title": "Down"})");
    services.start();

    const auto result = extras({"--config", services.configFile.string()});
    EXPECT_EQ(result.status, 0);
    EXPECT_THAT(result.standardOutput, HasSubstr("  Tuner (tuner): not available\n"));
    EXPECT_THAT(result.standardError, HasSubstr("No item is shown as installable through the hub."));
}

TEST(HubctlExtras, AFeedThatCannotBeLoadedOrAConfigurationThatCannotBeUsedFails) {
    Services services;
    services.serve(feedPath, 200, R"({"version": 2})");
    services.start();
    const auto broken = extras({"--config", services.configFile.string()});
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(broken.standardOutput, "");
    EXPECT_THAT(broken.standardError, HasSubstr("The catalog extras could not be loaded."));

    const auto missing = (services.dir / "missing.json").string();
    const auto unusable = extras({"--config", missing});
    EXPECT_EQ(unusable.status, 1);
    EXPECT_THAT(unusable.standardError, HasSubstr("The service configuration in " + missing + " could not be used."));

    EXPECT_EQ(extras({"--config"}).status, 2);
    EXPECT_EQ(extras({"surplus"}).status, 2);
}

} // namespace
