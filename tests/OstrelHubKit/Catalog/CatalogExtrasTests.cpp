// The extras feed as the maker publishes it, decoded leniently, sorted onto shelves, and kept
// in its stored form.
#include "Catalog/BoundedJson.h"
#include "Catalog/CatalogExtras.h"
#include "Services/RecordHash.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

using Route = ExtrasItem::InstallRoute;
using Shelf = ExtrasItem::Shelf;

CatalogExtras decoded(const std::string& text) {
    auto extras = CatalogExtras::decode(text);
    if (!extras)
        throw std::runtime_error("the feed did not decode: " + text);
    return *extras;
}

// A feed holding `items` (a JSON array's inside).
CatalogExtras feedOf(const std::string& items) {
    return decoded(R"({"version": 1, "items": [)" + items + "]}");
}

ExtrasItem onlyItem(const std::string& item) {
    const auto extras = feedOf(item);
    if (extras.items.size() != 1)
        throw std::runtime_error("expected one item from " + item);
    return extras.items.front();
}

std::vector<std::string> ids(const std::vector<ExtrasItem>& items) {
    std::vector<std::string> list;
    for (const auto& item : items)
        list.push_back(item.id);
    return list;
}

HostPolicy imagePolicy() {
    return HostPolicy{.apiHost = "shop.test", .assetHosts = {"ostrel.test", "assets.shop.test"}, .downloadDomains = {}};
}

TEST(CatalogExtras, OnlyAJsonObjectOfVersionOneIsAFeed) {
    for (const char* refused :
         {R"({"version": 2, "items": []})", R"({"items": []})", R"({"version": "1"})", R"({"version": null})",
          R"({"version": true})", R"([{"version": 1}])", "", " \n\t", R"({"version": 1)", R"(  "version")",
          R"({"version": 1, "items": "none"})", R"({"version": 1, "media": []})"})
        EXPECT_EQ(CatalogExtras::decode(refused), std::nullopt) << refused;

    const auto bare = decoded(" \t\r\n{\"version\": 1, \"unknown\": {\"deep\": [1, 2]}}");
    EXPECT_EQ(bare, (CatalogExtras{.version = 1, .items = {}, .media = {}}));
    EXPECT_TRUE(decoded(R"({"version": 1, "items": null, "media": null})").items.empty());
}

TEST(CatalogExtras, EachItemDecodesOnItsOwnAndAWrongTypeCountsAsAbsent) {
    const auto extras = feedOf(R"(
        {"id": "tuner", "name": "Ostrel Tuner", "kind": "tool", "stage": "stable", "summary": "Tunes.",
         "releaseUrl": "https://ostrel.test/tuner.zip", "iconUrl": "https://ostrel.test/tuner.png",
         "signedByOstrel": true, "productId": "ostrel-tuner", "extra": [1]},
        42,
        "not an item",
        null,
        {"title": "Pitch Pong", "kind": "tool"},
        {"id": 7, "name": "Big Room", "kind": 3, "signedByOstrel": "yes", "stage": false},
        {"id": "nameless", "kind": "tool"},
        {"id": "", "name": "No Id"},
        {"name": "", "title": "Ignored Because Name Is Present"},
        {"title": "Äther Fx"}
    )");
    ASSERT_EQ(ids(extras.items), (std::vector<std::string>{"tuner", "pitch-pong", "big-room", "äther-fx"}));

    EXPECT_EQ(extras.items[0], (ExtrasItem{.id = "tuner",
                                           .name = "Ostrel Tuner",
                                           .kind = "tool",
                                           .stage = "stable",
                                           .summary = "Tunes.",
                                           .releaseUrl = "https://ostrel.test/tuner.zip",
                                           .iconUrl = "https://ostrel.test/tuner.png",
                                           .signedByOstrel = true,
                                           .productId = "ostrel-tuner"}));
    EXPECT_EQ(extras.items[1].name, "Pitch Pong");
    EXPECT_EQ(extras.items[1].shelf(), Shelf::freeTools);
    // The string "yes" is not true, and the item stays listed.
    EXPECT_EQ(extras.items[2], (ExtrasItem{.id = "big-room", .name = "Big Room", .kind = "tool"}));
    EXPECT_EQ(extras.items[3].name, "Äther Fx");
}

TEST(CatalogExtras, SummaryIsTheFirstOfSummaryTaglineDescription) {
    EXPECT_EQ(onlyItem(R"({"id": "a", "name": "A", "description": "D", "tagline": "T", "summary": "S"})").summary, "S");
    EXPECT_EQ(onlyItem(R"({"id": "a", "name": "A", "description": "D", "tagline": "T"})").summary, "T");
    EXPECT_EQ(onlyItem(R"({"id": "a", "name": "A", "description": "D", "tagline": 5})").summary, "D");
    EXPECT_EQ(onlyItem(R"({"id": "a", "name": "A"})").summary, std::nullopt);
}

TEST(CatalogExtras, OnlyTheFirstItemOfEachIdStaysInFileOrder) {
    const auto extras = feedOf(R"({"id": "b", "name": "First B"}, {"id": "a", "name": "A"},
                                  {"id": "b", "name": "Second B"}, {"title": "A"})");
    EXPECT_EQ(ids(extras.items), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(extras.items[0].name, "First B");
    EXPECT_EQ(extras.items[1].name, "A");
}

TEST(CatalogExtras, GamesAndEarlyBuildsGoToEarlyAccessTheRestToFreeTools) {
    const auto extras = feedOf(R"(
        {"id": "tool", "name": "T", "kind": "tool"},
        {"id": "game", "name": "G", "kind": "Game"},
        {"id": "preview", "name": "P", "kind": "plugin", "stage": "Public Preview"},
        {"id": "alpha", "name": "A", "stage": "ALPHA 2"},
        {"id": "early-kind", "name": "E", "kind": "Early Build"},
        {"id": "early-stage", "name": "S", "stage": "early"},
        {"id": "beta", "name": "B", "kind": "tool", "stage": "beta"}
    )");
    EXPECT_EQ(ids(extras.freeTools()), (std::vector<std::string>{"tool", "beta"}));
    EXPECT_EQ(ids(extras.earlyAccess()),
              (std::vector<std::string>{"game", "preview", "alpha", "early-kind", "early-stage"}));
    EXPECT_EQ(rawValue(Shelf::freeTools), "freeTools");
    EXPECT_EQ(rawValue(Shelf::earlyAccess), "earlyAccess");
}

TEST(CatalogExtras, SignedItemsTheStoreDeliversInstallThroughTheHubOthersInTheBrowser) {
    std::vector<std::string> asked;
    const auto storeHas = [&](const std::string& product) {
        asked.push_back(product);
        return product != "not-in-store";
    };
    const ExtrasItem signedWithProduct{.id = "tuner-extra", .name = "T", .signedByOstrel = true, .productId = "tuner"};
    EXPECT_EQ(signedWithProduct.installRoute(storeHas), Route::hub("tuner"));
    const ExtrasItem signedOwnId{.id = "echo", .name = "E", .signedByOstrel = true};
    EXPECT_EQ(signedOwnId.installRoute(storeHas), Route::hub("echo"));
    EXPECT_EQ(asked, (std::vector<std::string>{"tuner", "echo"}));

    const ExtrasItem notInStore{.id = "x",
                                .name = "X",
                                .releaseUrl = "https://ostrel.test/x.zip",
                                .signedByOstrel = true,
                                .productId = "not-in-store"};
    EXPECT_EQ(notInStore.installRoute(storeHas), Route::browser(Url("https://ostrel.test/x.zip")));
    const ExtrasItem unsignedInStore{.id = "y", .name = "Y", .releaseUrl = "https://anywhere.test/y.zip"};
    EXPECT_EQ(unsignedInStore.installRoute(storeHas), Route::browser(Url("https://anywhere.test/y.zip")));

    for (const char* address : {"http://ostrel.test/x.zip", "https://ostrel.test:8443/x.zip",
                                "https://user@ostrel.test/x.zip", "not an address"}) {
        const ExtrasItem item{.id = "z", .name = "Z", .releaseUrl = address};
        EXPECT_EQ(item.releaseURL(), std::nullopt) << address;
        EXPECT_EQ(item.installRoute(storeHas), Route::unavailable()) << address;
    }
}

TEST(CatalogExtras, ScreenshotsComeOnlyFromImageHostsInFileOrder) {
    const auto extras = decoded(R"({"version": 1, "media": {
        "prism": {"screenshots": ["https://ostrel.test/2.png", "https://elsewhere.test/x.png", 5,
                                  "https://ostrel.test:8443/x.png", "http://ostrel.test/x.png",
                                  "https://assets.shop.test/1.png", "https://sub.ostrel.test/x.png", "::"]},
        "bare": {},
        "not-media": [1],
        "wrong-list": {"screenshots": "https://ostrel.test/1.png"}
    }})");
    EXPECT_EQ(extras.media.size(), 2u);
    EXPECT_EQ(extras.media.at("prism").screenshots.size(), 7u); // only the number is dropped
    EXPECT_EQ(extras.screenshots("prism", imagePolicy()),
              (std::vector<Url>{Url("https://ostrel.test/2.png"), Url("https://assets.shop.test/1.png")}));
    EXPECT_TRUE(extras.screenshots("bare", imagePolicy()).empty());
    EXPECT_TRUE(extras.screenshots("unknown", imagePolicy()).empty());
}

TEST(CatalogExtras, TheStoredFormDecodesToItself) {
    const auto extras = decoded(R"({"version": 1, "items": [
        {"id": "tuner", "name": "Tuner", "stage": "stable", "summary": "S", "releaseUrl": "https://ostrel.test/t",
         "iconUrl": "https://ostrel.test/i.png", "signedByOstrel": true, "productId": "p"},
        {"title": "Pitch Pong", "kind": "Game"}
    ], "media": {"p": {"screenshots": ["https://ostrel.test/1.png"]}}})");
    const nlohmann::json stored = extras;
    EXPECT_EQ(decodeJson<CatalogExtras>(stored), extras);
    EXPECT_EQ(decodeJsonText<CatalogExtras>(stored.dump()), extras);
    EXPECT_EQ(RecordHash{}(decodeJson<CatalogExtras>(stored)), RecordHash{}(extras));
    // Absent members are left out rather than written as null.
    EXPECT_EQ(
        stored["items"][1],
        (nlohmann::json{{"id", "pitch-pong"}, {"name", "Pitch Pong"}, {"kind", "Game"}, {"signedByOstrel", false}}));

    for (const char* required : {"version", "items", "media"}) {
        auto missing = stored;
        missing.erase(required);
        EXPECT_THROW(decodeJson<CatalogExtras>(missing), DecodingError) << required;
    }
}

// A feed whose unknown member nests `depth` levels in all, counting the feed object.
std::string feedNesting(std::size_t depth) {
    return R"({"version": 1, "deep": )" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
}

TEST(CatalogExtras, NestingIsBoundedBeforeParsing) {
    EXPECT_TRUE(CatalogExtras::decode(feedNesting(BoundedJson::maxDepth)).has_value());
    EXPECT_EQ(CatalogExtras::decode(feedNesting(BoundedJson::maxDepth + 1)), std::nullopt);
    // Brackets inside strings, escaped quotes included, are text.
    const std::string brackets(BoundedJson::maxDepth + 1, '[');
    EXPECT_TRUE(CatalogExtras::decode(R"({"version": 1, "note": "\")" + brackets + R"("})").has_value());
    // A string that ends in an escaped backslash ends there: the brackets after it count.
    const auto afterBackslash = R"({"version": 1, "note": "\\", "deep": )" + std::string(BoundedJson::maxDepth, '[') +
                                std::string(BoundedJson::maxDepth, ']') + "}";
    EXPECT_EQ(CatalogExtras::decode(afterBackslash), std::nullopt);
}

} // namespace
} // namespace ostrel
