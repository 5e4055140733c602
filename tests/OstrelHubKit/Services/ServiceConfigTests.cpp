#include "Services/ServiceConfig.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

const std::string pinA = "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";
const std::string pinB = "BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB=";

std::string demoJson(const std::string& connectTarget = "127.0.0.1:8443") {
    return R"({"storeApiHost": "Store.Demo.Test", "storeAssetHost": "assets.demo.test",
      "identityApiHost": "id.demo.test", "webDomain": "demo.test", "downloadDomain": "files.demo.test",
      "storePins": [")" +
           pinA + R"("], "identityPins": [")" + pinB + R"("], "downloadPins": [")" + pinA + R"(", ")" + pinB +
           R"("], "caBundle": "demo-ca.pem", "connectTo": {"store.demo.test": ")" + connectTarget + R"("}})";
}

TEST(ServiceConfig, LoadsADemoFileAndBuildsTheRules) {
    test::TempDir dir;
    test::writeFile(dir / "services.json", demoJson());
    test::writeFile(dir / "demo-ca.pem", "");
    const auto config = ServiceConfig::load(dir / "services.json");
    EXPECT_EQ(config.storeApiHost, "store.demo.test");
    EXPECT_EQ(config.caBundle, dir / "demo-ca.pem");
    EXPECT_EQ(ServiceConfig::fromJson(demoJson()).caBundle, std::filesystem::path("demo-ca.pem"));
    EXPECT_EQ(config.connectTo, (std::map<std::string, std::string>{{"store.demo.test", "127.0.0.1:8443"}}));
    EXPECT_EQ(config.hostPolicy(), (HostPolicy{.apiHost = "store.demo.test",
                                               .assetHosts = {"assets.demo.test", "demo.test"},
                                               .downloadDomains = {"files.demo.test"}}));
    const auto trust = config.pinnedTrust();
    EXPECT_EQ(trust.pinned("store.demo.test"), std::set<std::string>{pinA});
    EXPECT_EQ(trust.pinned("demo.test"), std::set<std::string>{pinB});
    EXPECT_EQ(trust.pinned("id.demo.test"), std::set<std::string>{pinB});
    EXPECT_EQ(trust.pinned("b.files.demo.test"), (std::set<std::string>{pinA, pinB}));

    EXPECT_EQ(ServiceConfig::fromJson(config.toJson()), config);
    EXPECT_EQ(ServiceConfig::fromJson(ServiceConfig::production().toJson()), ServiceConfig::production());
}

TEST(ServiceConfig, RefusesFilesItCannotUse) {
    test::TempDir dir;
    const auto bad = [&](const std::string& json) {
        test::writeFile(dir / "bad.json", json);
        try {
            ServiceConfig::load(dir / "bad.json");
        } catch (const ServiceConfigError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "The service configuration in " + (dir / "bad.json").string() + " could not be used.");
            return e.detail();
        }
        return std::string("loaded");
    };
    auto without = demoJson();
    without.replace(without.find("\"webDomain\""), 11, "\"webDomainX\"");
    EXPECT_EQ(bad(without), "Missing value at webDomain.");
    auto shortPin = demoJson();
    shortPin.replace(shortPin.find(pinB), pinB.size(), "tooShort=");
    EXPECT_NE(bad(shortPin).find("tooShort="), std::string::npos);
    EXPECT_NE(bad(demoJson("127.0.0.1")).find("address:port"), std::string::npos);
    EXPECT_EQ(bad(demoJson("127.0.0.1:http")),
              "\"connectTo\" maps \"store.demo.test\" to \"127.0.0.1:http\", which is not address:port");
    EXPECT_EQ(bad("{not json"), "Not valid JSON at byte 3.");
    EXPECT_NE(bad(demoJson()).find("no CA bundle at " + (dir / "demo-ca.pem").string()), std::string::npos);
    EXPECT_THROW(ServiceConfig::load(dir / "missing.json"), ServiceConfigError);
    EXPECT_NE(bad("").find("Not valid JSON"), std::string::npos);
}

TEST(ServiceConfig, AFileIsReadUpToItsCap) {
    test::TempDir dir;
    test::writeFile(dir / "demo-ca.pem", "");
    // White space after the object is still valid JSON; it counts towards the cap all the same.
    auto padded = demoJson();
    padded.resize(ServiceConfig::maxFileBytes, ' ');
    test::writeFile(dir / "services.json", padded);
    EXPECT_EQ(ServiceConfig::load(dir / "services.json").storeApiHost, "store.demo.test");
    padded += ' ';
    test::writeFile(dir / "services.json", padded);
    try {
        ServiceConfig::load(dir / "services.json");
        ADD_FAILURE() << "a file past the cap loaded";
    } catch (const ServiceConfigError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "The service configuration in " + (dir / "services.json").string() + " could not be used.");
        EXPECT_NE(e.detail().find("larger than 1048576 bytes"), std::string::npos) << e.detail();
    }
    EXPECT_THROW(ServiceConfig::load("/dev/zero"), ServiceConfigError);
}

} // namespace
} // namespace ostrel
