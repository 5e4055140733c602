// The hub's update feed taken apart and read, with every bound at its edge. Signatures are
// checked elsewhere; here they only need the right shape.
#include "Services/HubAppcast.h"
#include "Services/ServiceConfig.h"
#include "Util/Base64.h"

#include <nlohmann/json.hpp>

#include <gmock/gmock.h>

namespace ostrel {
namespace {

using nlohmann::json;

const std::string someSignature(64, 's');

json item(const std::string& version, int64_t length = 1000) {
    return {{"version", version},
            {"url", "https://releases.example.test/hub/ostrel-hub-" + version + ".tar.gz"},
            {"length", length},
            {"ed25519", base64Encode(someSignature)},
            {"notes", "Faster start."}};
}

std::string body(const json& items) {
    return json{{"product", "com.ostrel.hub"}, {"items", items}}.dump();
}

std::string detailOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const HubAppcastError& e) {
        EXPECT_STREQ(e.what(), "The update feed of Ostrel Hub could not be read.");
        return e.detail();
    }
    return "(nothing thrown)";
}

TEST(HubAppcast, SplitsTheSignatureLineFromTheBodyItSigns) {
    const std::string text = HubAppcast::compose("{\"x\":1}\n", someSignature);
    const auto envelope = HubAppcast::split(text);
    EXPECT_EQ(envelope.signature, someSignature);
    EXPECT_EQ(envelope.body, "{\"x\":1}\n");

    const std::string unsigned_ = "{\"items\": []}";
    EXPECT_THAT(detailOf([&] { HubAppcast::split(unsigned_); }), testing::HasSubstr("signature line"));
    const std::string shortSignature = "ostrel-hub-appcast ed25519 " + base64Encode("short") + "\n{}";
    EXPECT_THAT(detailOf([&] { HubAppcast::split(shortSignature); }), testing::HasSubstr("no signature"));
    const std::string noNewline = "ostrel-hub-appcast ed25519 " + base64Encode(someSignature);
    EXPECT_THAT(detailOf([&] { HubAppcast::split(noNewline); }), testing::HasSubstr("signature line"));
}

TEST(HubAppcast, AcceptsAFeedOfExactlyTheLargestSizeAndRefusesOneByteMore) {
    const std::string head = HubAppcast::compose("", someSignature);
    const std::string json = body(json::array({item("0.2.0")}));
    const std::string atLimit = head + json + std::string(HubAppcast::maxBytes - head.size() - json.size(), ' ');
    ASSERT_EQ(atLimit.size(), HubAppcast::maxBytes);
    const auto envelope = HubAppcast::split(atLimit);
    EXPECT_EQ(HubAppcast::parse(envelope.body).items.size(), 1u);
    const std::string over = atLimit + " ";
    EXPECT_THAT(detailOf([&] { HubAppcast::split(over); }), testing::HasSubstr("larger than"));
}

TEST(HubAppcast, ReadsItemsUpToTheLimitOfItems) {
    json items = json::array();
    for (std::size_t i = 0; i < HubAppcast::maxItems; ++i)
        items.push_back(item("0." + std::to_string(i)));
    const auto feed = HubAppcast::parse(body(items));
    ASSERT_EQ(feed.items.size(), HubAppcast::maxItems);
    EXPECT_EQ(feed.items[3], (HubAppcast::Item{.version = "0.3",
                                               .url = "https://releases.example.test/hub/ostrel-hub-0.3.tar.gz",
                                               .length = 1000,
                                               .signature = someSignature,
                                               .notes = "Faster start."}));
    items.push_back(item("1.0"));
    EXPECT_THAT(detailOf([&] { HubAppcast::parse(body(items)); }), testing::HasSubstr("more than"));
}

TEST(HubAppcast, RefusesNestingBelowAnItem) {
    auto nested = item("0.2.0");
    nested["extra"] = "flat values are ignored";
    EXPECT_EQ(HubAppcast::parse(body(json::array({nested}))).items.size(), 1u);
    nested["extra"] = json::array();
    EXPECT_THAT(detailOf([&] { HubAppcast::parse(body(json::array({nested}))); }), testing::HasSubstr("nests deeper"));
    nested["extra"] = json::object();
    EXPECT_THAT(detailOf([&] { HubAppcast::parse(body(json::array({nested}))); }), testing::HasSubstr("nests deeper"));
}

TEST(HubAppcast, BoundsTheDownloadSizeAndTheTexts) {
    EXPECT_EQ(HubAppcast::parse(body(json::array({item("0.2.0", HubAppcast::maxDownloadBytes)}))).items[0].length,
              HubAppcast::maxDownloadBytes);
    EXPECT_THAT(
        detailOf([] { HubAppcast::parse(body(json::array({item("0.2.0", HubAppcast::maxDownloadBytes + 1)}))); }),
        testing::HasSubstr("length"));
    EXPECT_THAT(detailOf([] { HubAppcast::parse(body(json::array({item("0.2.0", 0)}))); }),
                testing::HasSubstr("length"));

    auto notes = item("0.2.0");
    notes["notes"] = std::string(HubAppcast::maxTextBytes, 'n');
    EXPECT_EQ(HubAppcast::parse(body(json::array({notes}))).items[0].notes.size(), HubAppcast::maxTextBytes);
    notes["notes"] = std::string(HubAppcast::maxTextBytes + 1, 'n');
    EXPECT_THAT(detailOf([&] { HubAppcast::parse(body(json::array({notes}))); }), testing::HasSubstr("too long"));
}

TEST(HubAppcast, RefusesFeedsOfOtherProductsAndItemsMissingWhatTheUpdateNeeds) {
    EXPECT_THAT(detailOf([] {
                    HubAppcast::parse(json{{"product", "com.other"}, {"items", json::array()}}.dump());
                }),
                testing::HasSubstr("not one of com.ostrel.hub"));
    EXPECT_THAT(detailOf([] { HubAppcast::parse("[1, 2"); }), testing::HasSubstr("not JSON"));
    EXPECT_THAT(detailOf([] {
                    HubAppcast::parse(json{{"product", "com.ostrel.hub"}}.dump());
                }),
                testing::HasSubstr("no item list"));
    for (const char* key : {"version", "url", "ed25519"}) {
        auto missing = item("0.2.0");
        missing.erase(key);
        EXPECT_THAT(detailOf([&] { HubAppcast::parse(body(json::array({missing}))); }), testing::HasSubstr(key));
    }
    auto badSignature = item("0.2.0");
    badSignature["ed25519"] = base64Encode(std::string(63, 's'));
    EXPECT_THAT(detailOf([&] { HubAppcast::parse(body(json::array({badSignature}))); }), testing::HasSubstr("ed25519"));
}

TEST(HubAppcast, ItsAddressComesFromTheServiceConfigurationOrTheWebDomain) {
    auto config = ServiceConfig::production();
    EXPECT_EQ(config.hubUpdateFeedUrl().text(), "https://ostrel.audio/hub/appcast");
    config.webDomain = "web.demo.test";
    EXPECT_EQ(config.hubUpdateFeedUrl().text(), "https://web.demo.test/hub/appcast");
    config.hubUpdateFeed = "https://feeds.demo.test/hub.txt";
    const auto written = ServiceConfig::fromJson(config.toJson());
    EXPECT_EQ(written.hubUpdateFeedUrl().text(), "https://feeds.demo.test/hub.txt");
    EXPECT_EQ(written, config);
}

} // namespace
} // namespace ostrel
