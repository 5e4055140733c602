// The lists and pages the screens bind to, built from a hub state made by hand: the sidebar,
// extras shelves, the cart, the product shelves, the library and a product's page.
#include "Model/Cart.h"
#include "Model/ExtrasListModel.h"
#include "Model/InstalledOnDisk.h"
#include "Model/ProductListModel.h"
#include "Model/ProductPageData.h"
#include "Model/ProductShelves.h"
#include "Model/ReviewListModel.h"
#include "Model/SectionListModel.h"
#include "TempDir.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <fstream>

#include <gmock/gmock.h>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

TEST(SectionListModel, ListsEverySectionInItsGroupAndReportsOnlyRealBadgeChanges) {
    SectionListModel sections;
    QAbstractItemModelTester tester(&sections, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(sections.rowCount(), 11);
    const auto at = [&](int row, const char* role) {
        return sections.data(sections.index(row), sections.roleNames().key(role));
    };
    EXPECT_EQ(at(0, "sectionId").toString(), "discover");
    EXPECT_EQ(at(0, "title").toString(), "Discover");
    EXPECT_EQ(at(0, "iconName").toString(), "starred");
    EXPECT_EQ(at(0, "section").value<HubSection>(), HubSection::discover);
    EXPECT_EQ(at(4, "title").toString(), "Free Tools");
    QStringList groups;
    for (int row = 0; row < sections.rowCount(); ++row)
        groups.append(at(row, "group").toString());
    EXPECT_EQ(groups, (QStringList{"", "", "", "", "", "", "Yours", "Yours", "Yours", "Yours", "Account"}));

    QSignalSpy changes(&sections, &QAbstractItemModel::dataChanged);
    sections.setBadge(HubSection::downloads, 2);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.front().front().toModelIndex().row(), 8);
    EXPECT_EQ(at(8, "badge").toInt(), 2);
    sections.setBadge(HubSection::downloads, 2);
    EXPECT_EQ(changes.size(), 1) << "nothing changed";
    EXPECT_EQ(sections.badge(HubSection::updates), 0);
}

TEST(ExtrasListModel, ShowsItsRowsAndLeavesViewsAloneWhenNothingChanged) {
    ExtrasListModel list;
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(&list, &QAbstractItemModel::modelReset);
    QSignalSpy counts(&list, &ExtrasListModel::countChanged);
    const std::vector<ExtrasRow> rows{
        {.itemId = "impulse-pack", .title = "Impulse Pack", .kindTitle = "Tool", .route = "release"},
        {.itemId = "prism-eq-preview", .title = "Prism EQ Preview", .kindTitle = "Plugin", .route = "hub"}};
    list.setRows(rows);
    EXPECT_EQ(list.rowCount(), 2);
    const auto roles = list.roleNames();
    EXPECT_EQ(list.data(list.index(1), roles.key("itemId")).toString(), "prism-eq-preview");
    EXPECT_EQ(list.data(list.index(1), roles.key("route")).toString(), "hub");
    EXPECT_EQ(list.data(list.index(0), roles.key("kindTitle")).toString(), "Tool");
    EXPECT_EQ(list.data(list.index(0), roles.key("title")).toString(), "Impulse Pack");
    list.setRows(rows);
    EXPECT_EQ(resets.size(), 1);
    EXPECT_EQ(counts.size(), 1);
    list.setRows({});
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(counts.size(), 2);
}

ProductRow productRow(const std::string& id, bool owned = false) {
    ProductRow row;
    row.product = StorefrontProduct{.id = id, .name = "Name of " + id};
    row.owned = owned;
    return row;
}

TEST(ProductListModel, RowsThatKeepTheirProductsInOrderOnlyReportChangedData) {
    ProductListModel list;
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(&list, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&list, &QAbstractItemModel::dataChanged);
    QSignalSpy counts(&list, &ProductListModel::countChanged);
    const auto owned = list.roleNames().key("owned");

    list.setRows({productRow("a"), productRow("b")});
    EXPECT_EQ(resets.size(), 1);
    EXPECT_EQ(counts.size(), 1);
    EXPECT_EQ(list.data(list.index(1), Qt::DisplayRole).toString(), "Name of b");

    // The same products with new data: the views keep their rows.
    list.setRows({productRow("a", true), productRow("b")});
    EXPECT_EQ(resets.size(), 1);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.front().at(0).toModelIndex().row(), 0);
    EXPECT_EQ(changes.front().at(1).toModelIndex().row(), 1);
    EXPECT_TRUE(list.data(list.index(0), owned).toBool());

    // Another order is another list, of the same length.
    list.setRows({productRow("b"), productRow("a", true)});
    EXPECT_EQ(resets.size(), 2);
    EXPECT_EQ(counts.size(), 1);
    EXPECT_EQ(list.productIdAt(1), "a");
    EXPECT_EQ(list.productIdAt(2), "");
    list.setRows({productRow("b"), productRow("a", true)});
    EXPECT_EQ(resets.size(), 2);
    EXPECT_EQ(changes.size(), 1);
}

TEST(ReviewListModel, AFurtherPageAddsRowsAtTheEndAndAnotherFirstPageReplacesThem) {
    ReviewListModel list(QStringLiteral("aurora-verb"));
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(&list, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&list, &QAbstractItemModel::rowsInserted);
    QSignalSpy counts(&list, &ReviewListModel::countChanged);
    const auto review = [](std::string id) {
        return Review{.id = id, .productId = "aurora-verb", .rating = 4, .title = "Title " + id};
    };
    ReviewPage page{.productId = "aurora-verb", .reviews = {review("1"), review("2")}, .nextCursor = "2"};
    list.setPage(page);
    ASSERT_EQ(inserts.size(), 1);
    EXPECT_EQ(list.data(list.index(1), Qt::DisplayRole).toString(), "Title 2");

    page.reviews.push_back(review("3"));
    list.setPage(page);
    EXPECT_EQ(resets.size(), 0);
    ASSERT_EQ(inserts.size(), 2);
    EXPECT_EQ(inserts.back().at(1).toInt(), 2);
    EXPECT_EQ(inserts.back().at(2).toInt(), 2);
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(counts.size(), 2);

    list.setPage(ReviewPage{.productId = "aurora-verb", .reviews = {review("4")}});
    EXPECT_EQ(resets.size(), 1);
    EXPECT_EQ(inserts.size(), 2);
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(counts.size(), 3);
}

CartLine cartLine(std::string id) {
    return CartLine{.product = StorefrontProduct{.id = std::move(id)}, .variation = PricingVariation{.id = "v"}};
}

TEST(Cart, HoldsEachProductOnceLastAddedLast) {
    Cart cart;
    QSignalSpy changes(&cart, &Cart::changed);
    cart.add(cartLine("a"));
    cart.add(cartLine("b"));
    cart.add(cartLine("a"));
    EXPECT_EQ(cart.ids(), (QStringList{"b", "a"}));
    EXPECT_EQ(changes.size(), 3);
    cart.add(cartLine("a"));
    EXPECT_EQ(changes.size(), 3) << "already last";
    cart.remove("missing");
    EXPECT_EQ(changes.size(), 3);
    cart.remove("b");
    EXPECT_EQ(cart.count(), 1);
    EXPECT_TRUE(cart.contains("a"));
    cart.clear();
    EXPECT_EQ(cart.count(), 0);
    EXPECT_EQ(changes.size(), 5);
}

PricingVariation euros(double amount) {
    return PricingVariation{.id = "v", .price = {{"EUR", amount}}};
}

StorefrontProduct product(std::string id, std::optional<PricingVariation> price, bool withIcon = true) {
    StorefrontProduct made{.id = id, .name = id, .tagline = id + " tagline"};
    if (withIcon)
        made.iconUrl = "https://assets.example/" + id + ".png";
    made.defaultVariation = std::move(price);
    made.currentVersion = "1.0";
    return made;
}

InstallRecord record(std::string id, std::string version) {
    InstallRecord made;
    made.productId = std::move(id);
    made.version = std::move(version);
    made.installedAt = std::chrono::sys_days(std::chrono::year(2026) / 3 / 14);
    return made;
}

std::vector<std::string> ids(const StoreState::Products& products) {
    std::vector<std::string> made;
    for (const auto* item : products)
        made.push_back(item->id);
    return made;
}

QStringList tileIds(const QVariant& tiles) {
    QStringList made;
    for (const auto& tile : tiles.toList())
        made.append(tile.toMap().value("productId").toString());
    return made;
}

// Seven products: six with an icon, one without; two owned, one of them installed; one that
// is neither priced nor owned, which the store does not show.
StoreState sevenProducts() {
    auto storefront = std::make_shared<Storefront>();
    for (const auto* id : {"a", "b", "c", "d"})
        storefront->products.push_back(product(id, euros(10)));
    storefront->products.push_back(product("plain", euros(10), false));
    storefront->products.push_back(product("e", euros(0)));
    storefront->products.push_back(product("hidden", std::nullopt));
    storefront->products.push_back(product("f", euros(10)));
    StoreState state;
    state.storefront = storefront;
    state.storeOwned = {ProductSummary{.id = "b"}, ProductSummary{.id = "e"}};
    state.installed = {record("e", "0.9")};
    return state;
}

TEST(ProductShelves, TheCarouselTakesTheFirstFiveWithAnIconAndTheOtherShelvesFilterTheStore) {
    const auto state = sevenProducts();
    EXPECT_THAT(ids(ProductShelves::featured(state)), ElementsAre("a", "b", "c", "d", "e"));
    EXPECT_THAT(ids(ProductShelves::notOwned(state)), ElementsAre("a", "c", "d", "plain", "f"));
    EXPECT_THAT(ids(ProductShelves::wishlisted(state, {"f", "hidden", "gone", "a"})), ElementsAre("a", "f"));
    EXPECT_THAT(ids(ProductShelves::installed(state, {})), ElementsAre("e"));
    EXPECT_TRUE(ProductShelves::installed(state, {{"e", InstalledOnDisk{.removed = true}}}).empty());
}

TEST(ProductShelves, TheLibraryFiltersTheOwnedProductsAndCountsThem) {
    using ProductShelves::LibraryFilter;
    const auto state = sevenProducts();
    const std::map<std::string, InstalledOnDisk> disk;
    EXPECT_THAT(ids(ProductShelves::library(state, disk, LibraryFilter::all)), ElementsAre("b", "e"));
    EXPECT_THAT(ids(ProductShelves::library(state, disk, LibraryFilter::installed)), ElementsAre("e"));
    EXPECT_THAT(ids(ProductShelves::library(state, disk, LibraryFilter::notInstalled)), ElementsAre("b"));
    EXPECT_EQ(ProductShelves::libraryCountLine(state, disk), "2 owned, 1 installed");
    // Removed by hand: no longer counted as installed.
    const std::map<std::string, InstalledOnDisk> removed{{"e", InstalledOnDisk{.removed = true}}};
    EXPECT_THAT(ids(ProductShelves::library(state, removed, LibraryFilter::notInstalled)), ElementsAre("b", "e"));
    EXPECT_EQ(ProductShelves::libraryCountLine(state, removed), "2 owned, 0 installed");
}

void touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
}

InstalledItem item(const fs::path& path, BundleKind kind) {
    return InstalledItem{
        .path = path.string(), .kind = kind, .identifier = "com.ostrel.x", .teamID = "TEAM", .version = std::nullopt};
}

TEST(InstalledOnDisk, AProductIsRemovedWhenAllItsBundlesAreGoneAndWarnedOfWhenTheSystemFolderHasACopy) {
    test::TempDir dir;
    const fs::path home = dir / "home" / "Library" / "Audio" / "Plug-Ins";
    const fs::path system = dir / "root";
    auto verb = record("verb", "1.0");
    verb.items = {item(home / "VST3" / "Verb.vst3", BundleKind::vst3),
                  item(home / "Components" / "Verb.component", BundleKind::component)};
    auto app = record("app", "1.0");
    app.items = {item(dir / "Applications" / "Tool.app", BundleKind::app)};
    const auto bare = record("bare", "1.0");
    touch(home / "Components" / "Verb.component");
    touch(dir / "Applications" / "Tool.app");

    auto facts = InstalledOnDisk::check({verb, app, bare}, system);
    EXPECT_EQ(facts["verb"], InstalledOnDisk{}) << "one bundle left is enough";
    EXPECT_EQ(facts["app"], InstalledOnDisk{});
    EXPECT_EQ(facts["bare"], InstalledOnDisk{}) << "a record that lists no bundles";

    fs::remove(home / "Components" / "Verb.component");
    fs::remove(dir / "Applications" / "Tool.app");
    touch(system / "Library" / "Audio" / "Plug-Ins" / "Components" / "Verb.component");
    touch(system / "Applications" / "Tool.app"); // apps have no system-wide folder of their own
    facts = InstalledOnDisk::check({verb, app}, system);
    EXPECT_EQ(facts["verb"], (InstalledOnDisk{.removed = true, .olderCopy = true}));
    EXPECT_EQ(facts["app"], (InstalledOnDisk{.removed = true, .olderCopy = false}));
    // The copy must be in the folder of the bundle's own kind.
    fs::remove(system / "Library" / "Audio" / "Plug-Ins" / "Components" / "Verb.component");
    touch(system / "Library" / "Audio" / "Plug-Ins" / "VST" / "Verb.component");
    EXPECT_FALSE(InstalledOnDisk::check({verb}, system)["verb"].olderCopy);
}

struct ProductPageTest : ::testing::Test {
    StoreState state = sevenProducts();
    CatalogExtras extras;
    HostPolicy images{.apiHost = "api.example", .assetHosts = {"assets.example"}, .downloadDomains = {}};

    ProductPageSources sources() {
        return ProductPageSources{.state = state,
                                  .extras = &extras,
                                  .imagePolicy = images,
                                  .currency = "EUR",
                                  .localeName = "en_US",
                                  .locale = QLocale(QLocale::English, QLocale::UnitedStates),
                                  .storeWebAddress = "https://store.example"};
    }
    QVariantMap page(const std::string& id) { return ProductPageData::build(id, sources()); }
    Storefront& storefront() { return const_cast<Storefront&>(*state.storefront); }
};

TEST_F(ProductPageTest, AProductTheStoreDoesNotListDoesNotExist) {
    EXPECT_EQ(page("nowhere"), (QVariantMap{{"exists", false}}));
    EXPECT_TRUE(page("a")["exists"].toBool());
}

TEST_F(ProductPageTest, TheFactsRowHasVersionSizeCategoryFormatsAndPrice) {
    auto& verb = storefront().products[0];
    verb.id = "aurora-verb";
    verb.currentVersion.reset();
    verb.downloads = {{Download{.name = "win", .key = "w", .platform = Platform::windows, .size = 99},
                       Download{.name = "mac", .key = "m", .platform = Platform::mac, .size = 12'400'000},
                       Download{.name = "mac2", .key = "m2", .platform = Platform::mac, .size = 1}}};
    verb.defaultVariation = PricingVariation{.id = "v", .originalPrice = {{"EUR", 74}}, .price = {{"EUR", 55}}};
    auto facts = page("aurora-verb");
    EXPECT_EQ(facts["version"].toString(), "None");
    EXPECT_EQ(facts["releaseVersion"].toString(), "");
    EXPECT_EQ(facts["size"].toString(), "12.4 MB");
    EXPECT_EQ(facts["category"].toString(), "Time & Space");
    EXPECT_EQ(facts["formats"].toString(), "VST3, AU, CLAP");
    EXPECT_EQ(facts["price"].toString(), QString::fromUtf8("€55.00"));
    EXPECT_EQ(facts["wasPrice"].toString(), QString::fromUtf8("was €74.00"));
    EXPECT_EQ(facts["compatibility"].toStringList(), (QStringList{"Windows", "Mac"}));
    EXPECT_EQ(facts["installsTo"].toString(), "~/Library/Audio/Plug-Ins");
    EXPECT_EQ(facts["kind"].toString(), "plugIn");
    EXPECT_TRUE(facts["isPaidNotOwned"].toBool());

    // The store's product detail knows a newer version and the notes.
    state.releaseNotes["aurora-verb"] =
        ProductSummary{.id = "aurora-verb", .currentVersion = "2.4.1", .releaseDescription = "Fixes a click."};
    facts = page("aurora-verb");
    EXPECT_EQ(facts["version"].toString(), "2.4.1");
    EXPECT_EQ(facts["releaseVersion"].toString(), "2.4.1");
    EXPECT_EQ(facts["releaseNotes"].toString(), "Fixes a click.");
}

TEST_F(ProductPageTest, AnUnknownProductIsForMacOSFreeOrNotForSaleAndSaysWhatIsInstalled) {
    auto facts = page("e");
    EXPECT_EQ(facts["formats"].toString(), "macOS");
    EXPECT_EQ(facts["category"].toString(), "Plug-ins");
    EXPECT_EQ(facts["price"].toString(), "Free");
    EXPECT_EQ(facts["wasPrice"].toString(), "");
    EXPECT_EQ(facts["size"].toString(), "") << "no download";
    EXPECT_FALSE(facts["isPaidNotOwned"].toBool());
    EXPECT_EQ(facts["installedLine"].toString(), "You have 0.9, installed 14 Mar 2026");
    EXPECT_EQ(facts["releaseNotes"].toString(), "");

    facts = page("hidden");
    EXPECT_EQ(facts["price"].toString(), "Not for sale");
    EXPECT_EQ(facts["installedLine"].toString(), "");
    EXPECT_FALSE(facts["isPaidNotOwned"].toBool());
    EXPECT_FALSE(page("b")["isPaidNotOwned"].toBool()) << "owned";
}

TEST_F(ProductPageTest, TheInformationBlockSharingScreenshotsAndMoreFromOstrel) {
    auto& app = storefront().products[1];
    app.id = "sketchpad";
    app.website = "https://ostrel.example/sketchpad";
    extras.media["sketchpad"] =
        ProductMedia{.screenshots = {"https://assets.example/1.png", "https://elsewhere.example/2.png",
                                     "https://assets.example:8443/3.png", "https://assets.example/4.png"}};
    const auto facts = page("sketchpad");
    EXPECT_EQ(facts["installsTo"].toString(), "/Applications");
    EXPECT_EQ(facts["kind"].toString(), "app");
    EXPECT_EQ(facts["website"].toString(), "https://ostrel.example/sketchpad");
    EXPECT_EQ(facts["shareUrl"].toString(), "https://store.example/buy/sketchpad");
    EXPECT_EQ(facts["licence"].toString(), "Perpetual");
    EXPECT_EQ(facts["screenshots"].toStringList(),
              (QStringList{"https://assets.example/1.png", "https://assets.example/4.png"}));
    EXPECT_EQ(tileIds(facts["moreFromOstrel"]), (QStringList{"a", "c", "d", "plain", "e", "f"}));
    const auto first = facts["moreFromOstrel"].toList().constFirst().toMap();
    EXPECT_EQ(first["tagline"].toString(), "a tagline");
    EXPECT_EQ(first["iconUrl"].toString(), "https://assets.example/a.png");
    EXPECT_EQ(page("a")["website"].toString(), "");

    for (int extra = 0; extra < 10; ++extra)
        storefront().products.push_back(product("more" + std::to_string(extra), euros(1)));
    const auto others = tileIds(page("a")["moreFromOstrel"]);
    EXPECT_EQ(others.size(), ProductPageData::moreFromOstrelCount);
    EXPECT_FALSE(others.contains("a"));
}

TEST(ProductPageData, TheLicenceFollowsTheDefaultPricesRecurrence) {
    auto made = product("x", euros(10));
    EXPECT_EQ(ProductPageData::licence(made), "Perpetual");
    made.defaultVariation->recurrence = Recurrence{.type = "Recurring", .cycleLength = "Monthly"};
    EXPECT_EQ(ProductPageData::licence(made), "Subscription");
    made.defaultVariation->recurrence.cycleLength.reset();
    EXPECT_EQ(ProductPageData::licence(made), "Recurring");
    made.defaultVariation.reset();
    EXPECT_EQ(ProductPageData::licence(made), "Perpetual");
}

} // namespace
} // namespace ostrel::hub
