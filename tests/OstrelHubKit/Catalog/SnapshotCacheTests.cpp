// Snapshots of the store and the extras as real files in a temporary folder.
#include "Catalog/BoundedJson.h"
#include "Catalog/CatalogExtras.h"
#include "Catalog/SnapshotCache.h"
#include "Services/Storefront.h"
#include "TempDir.h"

#include <cstdlib>

#include <gtest/gtest.h>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

PricingVariation variation(const std::string& id, double price) {
    return {.id = id,
            .name = "Edition " + id,
            .originalPrice = {{"USD", price + 10.25}, {"EUR", price}},
            .price = {{"USD", price}, {"EUR", price * 0.9}},
            .hasDiscount = true,
            .recurrence = {.type = "Recurring", .cycleLength = "Month"}};
}

// Every field filled somewhere, and left out somewhere else.
Storefront storefront() {
    const StorefrontProduct full{
        .id = "prism-eq",
        .name = "Prism EQ",
        .tagline = "Colour for mixes — “quoted”",
        .description = "Long text\nwith lines",
        .iconUrl = "https://ostrel.test/prism.png",
        .website = "https://ostrel.test/prism",
        .owned = true,
        .currentVersion = "2.1.0-beta.3",
        .downloads = {{{.name = "Prism.pkg", .key = "k1", .platform = Platform::mac, .size = 123456789012, .path = "p"},
                       {.name = "Prism.exe", .key = "k2", .platform = Platform::unknown, .size = 1}}},
        .defaultVariation = variation("a", 49.99),
        .variations = {{variation("a", 49.99), variation("b", 0.1)}},
    };
    const StorefrontProduct bare{.id = "echo", .name = "Echo", .tagline = "", .owned = false};
    return Storefront{.suggestedCurrency = "EUR",
                      .enabledCurrencies = {{"USD", "EUR"}},
                      .products = {full, bare},
                      .bundles = {{.id = "all",
                                   .name = "All",
                                   .tagline = "Everything",
                                   .owned = false,
                                   .partial = true,
                                   .products = {bare},
                                   .defaultVariation = variation("c", 99)}}};
}

CatalogExtras extras() {
    return *CatalogExtras::decode(R"({"version": 1, "items": [{"id": "tuner", "name": "Tuner", "stage": "alpha",
        "signedByOstrel": true}, {"title": "Pitch Pong"}], "media": {"echo": {"screenshots": ["https://ostrel.test/1.png"]}}})");
}

fs::perms permissionsOf(const fs::path& file) {
    return fs::status(file).permissions() & fs::perms::mask;
}

TEST(SnapshotCache, ASavedValueLoadsBackEqualFromAPrivateFile) {
    test::TempDir dir;
    const SnapshotCache cache{dir.path()};
    cache.save(storefront(), "storefront");
    cache.save(extras(), "extras");

    EXPECT_EQ(cache.load<Storefront>("storefront"), storefront());
    EXPECT_EQ(cache.load<CatalogExtras>("extras"), extras());
    EXPECT_EQ(permissionsOf(dir / "storefront.json"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(permissionsOf(dir / "extras.json"), fs::perms::owner_read | fs::perms::owner_write);
    // One file per key and nothing else: no temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);

    // Saving again replaces the whole value.
    auto changed = storefront();
    changed.products.pop_back();
    cache.save(changed, "storefront");
    EXPECT_EQ(cache.load<Storefront>("storefront"), changed);
}

TEST(SnapshotCache, AFileThatDoesNotDecodeIsAbsent) {
    test::TempDir dir;
    const SnapshotCache cache{dir.path()};
    EXPECT_EQ(cache.load<Storefront>("storefront"), std::nullopt); // never saved

    cache.save(storefront(), "storefront");
    EXPECT_EQ(cache.load<CatalogExtras>("storefront"), std::nullopt); // another type

    const auto whole = test::readFile(dir / "storefront.json");
    test::writeFile(dir / "storefront.json", whole.substr(0, whole.size() / 2));
    EXPECT_EQ(cache.load<Storefront>("storefront"), std::nullopt);

    test::writeFile(dir / "storefront.json", "");
    EXPECT_EQ(cache.load<Storefront>("storefront"), std::nullopt);

    fs::create_directory(dir / "folder.json");
    EXPECT_EQ(cache.load<Storefront>("folder"), std::nullopt);
}

TEST(SnapshotCache, FilesAreReadOnlyUpToTheirLimits) {
    test::TempDir dir;
    const SnapshotCache cache{dir.path()};
    std::string tooLarge = R"({"suggestedCurrency": "EUR", "products": [], "bundles": []})";
    tooLarge.resize(SnapshotCache::maxFileBytes + 1, ' ');
    test::writeFile(dir / "too-large.json", tooLarge);
    EXPECT_EQ(cache.load<Storefront>("too-large"), std::nullopt);

    const auto nested = [](std::size_t depth) {
        return R"({"suggestedCurrency": "EUR", "products": [], "bundles": [], "x": )" + std::string(depth - 1, '[') +
               std::string(depth - 1, ']') + "}";
    };
    test::writeFile(dir / "deepest.json", nested(BoundedJson::maxDepth));
    test::writeFile(dir / "too-deep.json", nested(BoundedJson::maxDepth + 1));
    EXPECT_TRUE(cache.load<Storefront>("deepest").has_value());
    EXPECT_EQ(cache.load<Storefront>("too-deep"), std::nullopt);
}

TEST(SnapshotCache, AKeyNeverLeavesTheFolder) {
    test::TempDir dir;
    const SnapshotCache cache{dir / "snapshots"};
    fs::create_directory(cache.directory);

    cache.save(extras(), "../a");
    EXPECT_EQ(cache.file("../a"), cache.directory / "_a.json");
    EXPECT_TRUE(fs::exists(cache.directory / "_a.json"));
    EXPECT_FALSE(fs::exists(dir / "a.json"));
    EXPECT_EQ(cache.load<CatalogExtras>("../a"), extras());

    for (const char* empty : {"...", "   ", ""})
        EXPECT_EQ(cache.file(empty), cache.directory / "download.json") << empty;
    cache.save(extras(), "...");
    EXPECT_EQ(cache.load<CatalogExtras>("download"), extras());
    EXPECT_EQ(std::distance(fs::directory_iterator(cache.directory), fs::directory_iterator()), 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(SnapshotCache, RemoveDeletesOnlyThatKeyAndNeverFails) {
    test::TempDir dir;
    const SnapshotCache cache{dir.path()};
    cache.save(extras(), "extras");
    cache.save(storefront(), "storefront");
    cache.remove("extras");
    cache.remove("extras");
    cache.remove("never-saved");
    EXPECT_EQ(cache.load<CatalogExtras>("extras"), std::nullopt);
    EXPECT_EQ(cache.load<Storefront>("storefront"), storefront());
}

TEST(SnapshotCache, AFailedWriteKeepsTheOldSnapshotAndSaysSo) {
    test::TempDir dir;
    const SnapshotCache cache{dir.path()};
    const SnapshotCache nowhere{dir / "missing"};
    EXPECT_THROW(nowhere.save(extras(), "extras"), SnapshotError);
    EXPECT_FALSE(fs::exists(nowhere.directory)); // the folder is not made here

    cache.save(extras(), "extras");

    // Text that is not UTF-8 cannot be encoded; nothing is written.
    auto invalid = extras();
    invalid.items.front().name = "\xff\xfe";
    EXPECT_THROW(cache.save(invalid, "extras"), SnapshotError);
    EXPECT_EQ(cache.load<CatalogExtras>("extras"), extras());
}

// XDG_CACHE_HOME changed for one test and put back afterwards.
class CacheHome {
public:
    explicit CacheHome(const fs::path& value)
        : old_(std::getenv("XDG_CACHE_HOME") ? std::getenv("XDG_CACHE_HOME") : "") {
        ::setenv("XDG_CACHE_HOME", value.c_str(), 1);
    }
    ~CacheHome() { ::setenv("XDG_CACHE_HOME", old_.c_str(), 1); }

private:
    std::string old_;
};

TEST(SnapshotCache, TheStandardCacheLivesInTheHubsCachesFolderWhenItCanBeMade) {
    test::TempDir dir;
    {
        const CacheHome home(dir / "cache");
        const auto cache = SnapshotCache::standard();
        ASSERT_TRUE(cache.has_value());
        EXPECT_EQ(cache->directory, dir / "cache" / "com.ostrel.hub" / "snapshots");
        EXPECT_EQ(permissionsOf(cache->directory), fs::perms::owner_all);
    }
    test::writeFile(dir / "file", "not a folder");
    const CacheHome blocked(dir / "file");
    EXPECT_FALSE(SnapshotCache::standard().has_value());
}

} // namespace
} // namespace ostrel
