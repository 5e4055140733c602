// The built-in classification against the demo store's own catalogue, and the shelf order.
#include "DemoCatalogue.h"
#include "Model/Catalog.h"

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

const std::vector<std::string> shelves{
    "Instruments",          "Dynamics",     "EQ & Saturation", "Time & Space", "Stereo & Imaging", "Pitch & Voice",
    "Creative & Character", "Productivity", "Audio",           "Utilities",    "Health",
};

// The demo's own category words that name one shelf; its other words ("Rhythm", "Mastering",
// "App", ...) leave the shelf open.
const std::map<std::string, std::string> shelfOfDemoCategory{
    {"Reverb", "Time & Space"},        {"Delay", "Time & Space"},     {"Dynamics", "Dynamics"},
    {"Synth", "Instruments"},          {"Instrument", "Instruments"}, {"EQ", "EQ & Saturation"},
    {"Saturation", "EQ & Saturation"}, {"Utility", "Utilities"},
};

std::string joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const auto& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

TEST(Catalog, EveryDemoProductHasARowThatAgreesWithTheDemo) {
    const auto demo = demo::DemoCatalogue::load(OSTREL_DEMO_CATALOGUE);
    ASSERT_FALSE(demo.products.empty());
    for (const auto& product : demo.products) {
        SCOPED_TRACE(product.id);
        const auto row = Catalog::entries().find(product.id);
        ASSERT_NE(row, Catalog::entries().end());
        const auto& entry = row->second;
        EXPECT_EQ(entry.kind, product.kind == "app" ? ProductKind::app : ProductKind::plugIn);
        EXPECT_EQ(entry.formats, product.kind == "app" ? "App" : joined(product.formats));
        const auto shelf = shelfOfDemoCategory.find(product.category);
        if (shelf != shelfOfDemoCategory.end()) {
            EXPECT_EQ(entry.category, shelf->second);
        }
    }
}

TEST(Catalog, RowsStandOnShelvesAndGamesOnTheirOwn) {
    for (const auto& [id, entry] : Catalog::entries()) {
        SCOPED_TRACE(id);
        const bool onShelf = std::find(shelves.begin(), shelves.end(), entry.category) != shelves.end();
        if (entry.kind == ProductKind::game)
            EXPECT_EQ(entry.category, "Games");
        else
            EXPECT_TRUE(onShelf) << entry.category;
        EXPECT_FALSE(entry.formats.empty());
    }
}

TEST(Catalog, AnUnknownProductIsAPlugInOnThePlugInsShelf) {
    EXPECT_EQ(Catalog::entry("no-such-product"),
              (CatalogEntry{.kind = ProductKind::plugIn, .category = "Plug-ins", .formats = ""}));
    EXPECT_EQ(Catalog::entry(""), Catalog::entry("no-such-product"));
    EXPECT_EQ(Catalog::entry("stem-split"), Catalog::entries().at("stem-split"));
    EXPECT_EQ(Catalog::entry("stem-split").kind, ProductKind::app);
}

TEST(Catalog, ShelvesSortInTheFixedOrderThenUnknownOnesByCodePoint) {
    // "Zebra" before "apple" and "Éclair" last: code points, not a language's collation.
    auto expected = shelves;
    expected.insert(expected.end(), {"Games", "Plug-ins", "Zebra", "apple", "Éclair"});
    auto sorted = expected;
    std::shuffle(sorted.begin(), sorted.end(), std::mt19937(7));
    std::sort(sorted.begin(), sorted.end(), Catalog::shelfOrder);
    EXPECT_EQ(sorted, expected);

    EXPECT_TRUE(Catalog::shelfOrder("Health", "Aardvark"));
    EXPECT_FALSE(Catalog::shelfOrder("Aardvark", "Health"));
    EXPECT_TRUE(Catalog::shelfOrder("Time & Space", "Audio"));
    EXPECT_FALSE(Catalog::shelfOrder("Dynamics", "Dynamics"));
    EXPECT_FALSE(Catalog::shelfOrder("Zebra", "Zebra"));
}

} // namespace
} // namespace ostrel::hub
