// The store's screens (front page, catalogue grids, free tools and early access, product and
// item pages) loaded off-screen on an empty model, a model restored from a saved catalogue, and
// a model on the running demo services: no QML warning, every control named, the right words,
// and the arrow keys moving through a grid.
#include "../Model/DemoHub.h"
#include "Catalog/SnapshotCache.h"
#include "EventLoop.h"
#include "Install/AppDirectories.h"
#include "Model/AppModel.h"
#include "Model/Navigation.h"
#include "ModelFolders.h"
#include "PrivateSessionBus.h"
#include "RunningDemo.h"
#include "ScreenHarness.h"
#include "ShellModels.h"
#include "TempDir.h"
#include "Views/KeyboardGrid.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QQuickItem>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;

// -- The arrow-key arithmetic of a tile grid ----------------------------------------------------

TEST(StoreKeyboardGrid, FitsAsManyColumnsAsTilesAndGapsAllowAndNeverFewerThanOne) {
    // Four 180-wide tiles with three 16-wide gaps need exactly 768.
    EXPECT_EQ(KeyboardGrid::columnsFor(768, 16, 180), 4);
    EXPECT_EQ(KeyboardGrid::columnsFor(767, 16, 180), 3);
    EXPECT_EQ(KeyboardGrid::columnsFor(180, 16, 180), 1);
    EXPECT_EQ(KeyboardGrid::columnsFor(100, 16, 180), 1);
    EXPECT_EQ(KeyboardGrid::columnsFor(0, 16, 180), 1);
}

TEST(StoreKeyboardGrid, ArrowsMoveByOneOrARowAndStopAtTheEdges) {
    // Ten tiles in rows of four: 0-3, 4-7, 8-9.
    constexpr int columns = 4;
    constexpr int count = 10;
    EXPECT_EQ(KeyboardGrid::target(5, Qt::Key_Left, columns, count), 4);
    EXPECT_EQ(KeyboardGrid::target(5, Qt::Key_Right, columns, count), 6);
    EXPECT_EQ(KeyboardGrid::target(5, Qt::Key_Up, columns, count), 1);
    EXPECT_EQ(KeyboardGrid::target(5, Qt::Key_Down, columns, count), 9);
    // Left and right run on across rows, but not past either end of the list.
    EXPECT_EQ(KeyboardGrid::target(4, Qt::Key_Left, columns, count), 3);
    EXPECT_EQ(KeyboardGrid::target(0, Qt::Key_Left, columns, count), -1);
    EXPECT_EQ(KeyboardGrid::target(9, Qt::Key_Right, columns, count), -1);
    // Up from the first row and down below the last tile go nowhere.
    EXPECT_EQ(KeyboardGrid::target(3, Qt::Key_Up, columns, count), -1);
    EXPECT_EQ(KeyboardGrid::target(6, Qt::Key_Down, columns, count), -1);
    EXPECT_EQ(KeyboardGrid::target(5, Qt::Key_Return, columns, count), -1);
}

TEST(StoreKeyboardGrid, AMoveFocusesTheTargetAndTurnsTheRingOnWhileOthersPassTheKeyOn) {
    KeyboardGrid grid;
    grid.setWidth(768);
    grid.setSpacing(16);
    grid.setTileWidth(180);
    grid.setCount(10);
    EXPECT_EQ(grid.columns(), 4);

    // No focused tile: every key passes on.
    EXPECT_FALSE(grid.press(Qt::Key_Right));
    EXPECT_FALSE(grid.keyboardActive());

    grid.setCurrentIndex(1);
    EXPECT_FALSE(grid.press(Qt::Key_Up));
    EXPECT_EQ(grid.currentIndex(), 1);
    EXPECT_FALSE(grid.keyboardActive());

    EXPECT_TRUE(grid.press(Qt::Key_Down));
    EXPECT_EQ(grid.currentIndex(), 5);
    EXPECT_TRUE(grid.keyboardActive());

    // A narrower grid moves by its new row length.
    grid.setWidth(572);
    EXPECT_EQ(grid.columns(), 3);
    EXPECT_TRUE(grid.press(Qt::Key_Down));
    EXPECT_EQ(grid.currentIndex(), 8);

    // A shorter list pulls the focus back inside it.
    grid.setCount(4);
    EXPECT_EQ(grid.currentIndex(), 3);
}

// -- The three models the screens are shown on --------------------------------------------------
// test_models::EmptyModel (nothing cached, nothing loaded, no services), test_models::LiveModel
// (the running demo services), and the catalogue of two products below, saved by an earlier run.

Storefront savedStorefront() {
    auto product = [](std::string id, std::string name, std::string tagline) {
        return StorefrontProduct{.id = std::move(id),
                                 .name = std::move(name),
                                 .tagline = std::move(tagline),
                                 .defaultVariation = PricingVariation{.id = "v"}};
    };
    return Storefront{.suggestedCurrency = "EUR",
                      .products = {product("kept-reverb", "Kept Reverb", "A room from last time"),
                                   product("kept-delay", "Kept Delay", "Echoes from last time")}};
}

// The catalogue saved by an earlier run, not yet refreshed.
std::unique_ptr<AppModel> cachedModel(const test::TempDir& dir) {
    SnapshotCache{AppDirectories::owned(dir / "snapshots")}.save(savedStorefront(), "storefront");
    return std::make_unique<AppModel>(test::modelEnvironmentIn(dir));
}

using LiveHub = test_models::LiveModel;

QVariantMap with(AppModel* model, QVariantMap properties = {}) {
    properties.insert(QStringLiteral("hub"), QVariant::fromValue(model));
    return properties;
}

// Every visible item whose accessible name is `name`, in tree order.
QList<QQuickItem*> allNamed(QQuickItem* root, const QString& name) {
    QList<QQuickItem*> found;
    if (!root || !root->isVisible())
        return found;
    if (auto* iface = QAccessible::queryAccessibleInterface(root); iface && iface->text(QAccessible::Name) == name)
        found << root;
    for (auto* child : root->childItems())
        found << allNamed(child, name);
    return found;
}

struct Screen {
    QString file;
    QVariantMap properties;
};

const std::vector<Screen>& storeScreens() {
    static const std::vector<Screen> screens{
        {QStringLiteral("DiscoverView.qml"), {}},
        {QStringLiteral("BrowseView.qml"), {{QStringLiteral("kind"), QStringLiteral("plugIns")}}},
        {QStringLiteral("BrowseView.qml"), {{QStringLiteral("kind"), QStringLiteral("apps")}}},
        {QStringLiteral("FreeView.qml"), {}},
        {QStringLiteral("ExtrasShelfPage.qml"), {{QStringLiteral("shelf"), QStringLiteral("freeTools")}}},
        {QStringLiteral("ExtrasShelfPage.qml"), {{QStringLiteral("shelf"), QStringLiteral("earlyAccess")}}},
        {QStringLiteral("ProductPage.qml"), {{QStringLiteral("productId"), QStringLiteral("aurora-verb")}}},
        {QStringLiteral("ProductPage.qml"), {{QStringLiteral("productId"), QStringLiteral("kept-reverb")}}},
        {QStringLiteral("ExtrasItemPage.qml"), {{QStringLiteral("itemId"), QStringLiteral("no-such-item")}}},
    };
    return screens;
}

void expectEveryScreenCleanOn(AppModel* model) {
    for (const auto& screen : storeScreens()) {
        SCOPED_TRACE(screen.file.toStdString() + " " + screen.properties.value("kind").toString().toStdString() +
                     screen.properties.value("shelf").toString().toStdString() +
                     screen.properties.value("productId").toString().toStdString());
        test::ScreenHarness screens;
        ASSERT_NE(screens.load(screen.file, with(model, screen.properties)), nullptr)
            << screens.warnings().join(u'\n').toStdString();
        screens.settle(150);
        EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
        EXPECT_TRUE(screens.unnamedInteractiveItems().isEmpty())
            << screens.unnamedInteractiveItems().join(u'\n').toStdString();
    }
}

// -- Every screen on every model ------------------------------------------------------------------

TEST(StoreScreens, LoadCleanlyOnAnEmptyModel) {
    test_models::EmptyModel empty;
    auto& model = empty.model;
    expectEveryScreenCleanOn(model.get());
}

TEST(StoreScreens, LoadCleanlyOnASavedCatalogue) {
    test::TempDir dir;
    auto model = cachedModel(dir);
    ASSERT_TRUE(model->storefrontIsCached());
    expectEveryScreenCleanOn(model.get());
}

TEST(StoreScreens, LoadCleanlyOnTheLiveStore) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    LiveHub live;
    test::await(live.model->start());
    ASSERT_TRUE(live.model->hasStorefront());
    expectEveryScreenCleanOn(live.model.get());
}

// -- The front page -----------------------------------------------------------------------------

TEST(StoreDiscover, WithoutTheStoreAndNothingSavedOffersToTryAgain) {
    test_models::EmptyModel empty;
    auto& model = empty.model;
    test::ScreenHarness screens;
    ASSERT_NE(screens.load(QStringLiteral("DiscoverView.qml"), with(model.get())), nullptr);
    EXPECT_TRUE(screens.shows(QStringLiteral("Store unavailable")));
    EXPECT_TRUE(screens.shows(QStringLiteral("Could not reach the Ostrel store.")));
    EXPECT_TRUE(screens.shows(QStringLiteral("Try Again")));
    EXPECT_FALSE(screens.shows(QStringLiteral("Loading the store")));
    EXPECT_FALSE(screens.shows(QStringLiteral("Not in your library yet")));
}

TEST(StoreDiscover, ShowsTheSavedCatalogueInsteadOfTheOutage) {
    test::TempDir dir;
    auto model = cachedModel(dir);
    test::ScreenHarness screens;
    ASSERT_NE(screens.load(QStringLiteral("DiscoverView.qml"), with(model.get())), nullptr);
    EXPECT_FALSE(screens.shows(QStringLiteral("Store unavailable")));
    EXPECT_TRUE(screens.shows(QStringLiteral("Kept Reverb")));
}

TEST(StoreDiscover, ShowsTheOutlineWhileTheFirstCatalogueLoadsThenTheShelves) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    LiveHub live;
    test::ScreenHarness screens;
    ASSERT_NE(screens.load(QStringLiteral("DiscoverView.qml"), with(live.model.get())), nullptr);
    auto start = live.model->start();
    ASSERT_TRUE(live.model->loading());
    EXPECT_TRUE(screens.shows(QStringLiteral("Loading the store")));
    EXPECT_FALSE(screens.shows(QStringLiteral("Store unavailable")));
    test::await(std::move(start));
    screens.settle(150);

    EXPECT_FALSE(screens.shows(QStringLiteral("Loading the store")));
    const auto* featured = live.model->featured();
    ASSERT_GT(featured->count(), 0);
    EXPECT_TRUE(screens.shows(QStringLiteral("Featured: ") + featured->rows().front().product.name.c_str()));
    EXPECT_TRUE(screens.shows(QStringLiteral("Learn More")));
    for (const auto* words : {"Not in your library yet", "Plug-ins", "Effects and instruments for your DAW", "Apps",
                              "Small Mac tools that do one thing well", "Free Tools",
                              "Open source utilities from Ostrel, released on GitHub", "Early Access",
                              "Games and tools still being built. Expect rough edges."})
        EXPECT_TRUE(screens.shows(QString::fromUtf8(words))) << words;
    EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
}

TEST(StoreDiscover, SeeAllOpensTheShelfsSection) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    LiveHub live;
    test::await(live.model->start());
    test::ScreenHarness screens;
    ASSERT_NE(screens.load(QStringLiteral("DiscoverView.qml"), with(live.model.get()), {1440, 3000}), nullptr);
    screens.settle(150);
    const auto seeAll = allNamed(screens.root(), QStringLiteral("See All"));
    ASSERT_EQ(seeAll.size(), 5);
    const std::array sections{HubSection::plugIns, HubSection::plugIns, HubSection::apps, HubSection::freeTools,
                              HubSection::earlyAccess};
    for (std::size_t shelf = 0; shelf < sections.size(); ++shelf) {
        live.model->navigation()->setSelection(HubSection::library);
        screens.click(seeAll.at(static_cast<qsizetype>(shelf)));
        EXPECT_EQ(live.model->navigation()->selection(), sections.at(shelf))
            << screens.warnings().join(u'\n').toStdString() << "shelf " << shelf;
    }
}

// -- Grids --------------------------------------------------------------------------------------

TEST(StoreBrowse, ArrowKeysWalkThePlugInGridAndPassOnAtItsEdges) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    LiveHub live;
    test::await(live.model->start());
    test::ScreenHarness screens;
    // Room for exactly four tiles a row beside the margins.
    ASSERT_NE(screens.load(QStringLiteral("BrowseView.qml"), with(live.model.get(), {{"kind", "plugIns"}}), {816, 900}),
              nullptr);
    EXPECT_TRUE(screens.shows(QStringLiteral("VST3 and Audio Unit, for every Mac DAW")));
    auto* grid = screens.findByName(QStringLiteral("Plug-ins"));
    ASSERT_NE(grid, nullptr);
    ASSERT_GT(grid->property("count").toInt(), 5);
    grid->forceActiveFocus(Qt::TabFocusReason);
    screens.settle();
    EXPECT_EQ(grid->property("currentIndex").toInt(), 0);

    auto current = [&] { return grid->property("currentIndex").toInt(); };
    screens.press(Qt::Key_Left);
    EXPECT_EQ(current(), 0);
    screens.press(Qt::Key_Up);
    EXPECT_EQ(current(), 0);
    screens.press(Qt::Key_Right);
    EXPECT_EQ(current(), 1);
    screens.press(Qt::Key_Down);
    EXPECT_EQ(current(), 5);
    screens.press(Qt::Key_Up);
    EXPECT_EQ(current(), 1);

    // Return opens the focused tile's product.
    const auto expected = live.model->plugIns()->productIdAt(1);
    screens.press(Qt::Key_Return);
    EXPECT_EQ(live.model->navigation()->path(), QStringList{expected});
    EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
}

TEST(StoreBrowse, TheAppsPageHasItsOwnCaption) {
    test::TempDir dir;
    auto model = cachedModel(dir);
    test::ScreenHarness screens;
    ASSERT_NE(screens.load(QStringLiteral("BrowseView.qml"), with(model.get(), {{"kind", "apps"}})), nullptr);
    EXPECT_TRUE(screens.shows(QStringLiteral("For your Mac")));
    EXPECT_FALSE(screens.shows(QStringLiteral("VST3 and Audio Unit, for every Mac DAW")));
}

TEST(StoreFree, IsHeadedFreeDownloads) {
    test_models::EmptyModel empty;
    auto& model = empty.model;
    test::ScreenHarness screens;
    ASSERT_NE(screens.load(QStringLiteral("FreeView.qml"), with(model.get())), nullptr);
    EXPECT_TRUE(screens.shows(QStringLiteral("Free downloads")));
}

TEST(StoreExtrasShelf, AnEmptyShelfSaysItsItemsAppearAsTheyAreReleased) {
    test_models::EmptyModel empty;
    auto& model = empty.model;
    for (const auto& [shelf, title] :
         {std::pair{"freeTools", "Free Tools"}, std::pair{"earlyAccess", "Early Access"}}) {
        test::ScreenHarness screens;
        ASSERT_NE(screens.load(QStringLiteral("ExtrasShelfPage.qml"), with(model.get(), {{"shelf", shelf}})), nullptr);
        EXPECT_TRUE(screens.shows(QStringLiteral("Nothing here yet"))) << shelf;
        EXPECT_TRUE(screens.shows(QString::fromUtf8(title) + QStringLiteral(" appear here as they are released.")))
            << shelf;
    }
}

TEST(StoreExtrasShelf, ListsTheLiveItemsAsTilesThatOpenTheirPage) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    LiveHub live;
    test::await(live.model->start());
    ASSERT_TRUE(test::runUntil([&] { return live.model->extrasLoaded(); }));
    ASSERT_GT(live.model->freeTools()->rowCount(), 0);
    test::ScreenHarness screens;
    ASSERT_NE(screens.load(QStringLiteral("ExtrasShelfPage.qml"), with(live.model.get(), {{"shelf", "freeTools"}})),
              nullptr);
    EXPECT_FALSE(screens.shows(QStringLiteral("Nothing here yet")));
    const auto first = live.model->freeTools()->index(0);
    const auto title = first.data(live.model->freeTools()->roleNames().key("title")).toString();
    auto* tile = screens.findByName(title);
    ASSERT_NE(tile, nullptr);
    screens.click(tile);
    const auto itemId = first.data(live.model->freeTools()->roleNames().key("itemId")).toString();
    ASSERT_EQ(live.model->navigation()->path().size(), 1);
    EXPECT_TRUE(live.model->navigation()->path().front().endsWith(itemId));
}

// -- Detail pages -------------------------------------------------------------------------------

TEST(StoreProductPage, AProductTheStoreNoLongerListsIsNotInTheStore) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    LiveHub live;
    test::await(live.model->start());
    test::ScreenHarness screens;
    ASSERT_NE(screens.load(QStringLiteral("ProductPage.qml"), with(live.model.get(), {{"productId", "withdrawn"}})),
              nullptr);
    EXPECT_TRUE(screens.shows(QStringLiteral("Not in the store")));
    EXPECT_TRUE(screens.shows(QStringLiteral("That product is not on sale right now.")));
    EXPECT_FALSE(screens.shows(QStringLiteral("What's New")));
    EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
}

TEST(StoreProductPage, ShowsTheProductsFactsAndTogglesTheWishlist) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    LiveHub live;
    test::await(live.model->start());
    test::ScreenHarness screens;
    ASSERT_NE(screens.load(QStringLiteral("ProductPage.qml"), with(live.model.get(), {{"productId", "aurora-verb"}}),
                           {1440, 3000}),
              nullptr);
    const auto page = live.model->productPage(QStringLiteral("aurora-verb"));
    EXPECT_TRUE(screens.shows(page.value("name").toString()));
    for (const auto* words :
         {"VERSION", "SIZE", "CATEGORY", "FORMATS", "PRICE", "What's New", "Information", "Provider", "Ostrel",
          "Signed by", "Ostrel. Checked before install.", "Share", "More from Ostrel"})
        EXPECT_TRUE(screens.shows(QString::fromUtf8(words))) << words;
    EXPECT_TRUE(screens.shows(QStringLiteral("Version ") + page.value("releaseVersion").toString()));
    EXPECT_FALSE(screens.shows(QStringLiteral("Not in the store")));

    // The Website row shows the product's address whole, as a link to it.
    const auto website = page.value("website").toString();
    ASSERT_FALSE(website.isEmpty());
    auto* link = screens.findByName(QStringLiteral("Website: ") + website);
    ASSERT_NE(link, nullptr) << screens.visibleTexts().join(u'\n').toStdString();
    auto* address = link->property("contentItem").value<QQuickItem*>();
    ASSERT_NE(address, nullptr);
    EXPECT_EQ(address->property("text").toString(), website);
    EXPECT_FALSE(address->property("truncated").toBool())
        << "the address is cut to " << address->width() << " of " << address->implicitWidth() << " pixels";

    // The reviews arrive after the page: let the column settle before aiming at the button.
    screens.settle(200);
    auto* wish = screens.findByName(QStringLiteral("Add to wishlist"));
    ASSERT_NE(wish, nullptr);
    screens.click(wish);
    EXPECT_TRUE(live.model->wishlist()->contains(QStringLiteral("aurora-verb")));
    EXPECT_TRUE(screens.shows(QStringLiteral("Remove from wishlist")));

    // Share puts the product's store address on the clipboard.
    QGuiApplication::clipboard()->clear();
    screens.click(screens.findByName(QStringLiteral("Share")));
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), page.value("shareUrl").toString().toStdString());
    EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
}

TEST(StoreProductPage, AScreenshotOpensFullSizeAndEscapeClosesIt) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    LiveHub live;
    test::await(live.model->start());
    QString withShots;
    for (const auto& row : live.model->products()->rows()) {
        const auto id = QString::fromStdString(row.product.id);
        if (!live.model->productPage(id).value("screenshots").toList().isEmpty()) {
            withShots = id;
            break;
        }
    }
    ASSERT_FALSE(withShots.isEmpty());
    const auto count = live.model->productPage(withShots).value("screenshots").toList().size();
    const auto name = live.model->productPage(withShots).value("name").toString();
    test::ScreenHarness screens;
    ASSERT_NE(screens.load(QStringLiteral("ProductPage.qml"), with(live.model.get(), {{"productId", withShots}}),
                           {1440, 3000}),
              nullptr);
    EXPECT_TRUE(screens.shows(QStringLiteral("Screenshots are on their way.")));
    EXPECT_TRUE(screens.shows(name + QStringLiteral(" preview placeholder")));
    auto* first = screens.findByName(QStringLiteral("Screenshot 1 of %1").arg(count));
    ASSERT_NE(first, nullptr);
    screens.click(first);
    screens.settle(300);
    EXPECT_TRUE(screens.shows(QStringLiteral("1 of %1").arg(count)));
    EXPECT_TRUE(screens.shows(QStringLiteral("Done")));
    if (count > 1) {
        screens.click(screens.findByName(QStringLiteral("Next screenshot")));
        EXPECT_TRUE(screens.shows(QStringLiteral("2 of %1").arg(count)));
    }
    screens.press(Qt::Key_Escape);
    screens.settle(300);
    EXPECT_FALSE(screens.shows(QStringLiteral("Done")));
    EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
}

TEST(StoreExtrasItemPage, AnItemNoLongerListedIsNotAvailable) {
    test_models::EmptyModel empty;
    auto& model = empty.model;
    test::ScreenHarness screens;
    ASSERT_NE(screens.load(QStringLiteral("ExtrasItemPage.qml"), with(model.get(), {{"itemId", "gone"}})), nullptr);
    EXPECT_TRUE(screens.shows(QStringLiteral("Not available")));
    EXPECT_TRUE(screens.shows(QStringLiteral("That release is no longer listed.")));
    EXPECT_FALSE(screens.shows(QStringLiteral("Information")));
}

TEST(StoreExtrasItemPage, ShowsALiveItemsInformationAndButton) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    LiveHub live;
    test::await(live.model->start());
    ASSERT_TRUE(test::runUntil([&] { return live.model->extrasLoaded(); }));
    ASSERT_GT(live.model->freeTools()->rowCount(), 0);
    const auto itemId =
        live.model->freeTools()->index(0).data(live.model->freeTools()->roleNames().key("itemId")).toString();
    const auto item = live.model->extrasItemPage(itemId);
    test::ScreenHarness screens;
    ASSERT_NE(screens.load(QStringLiteral("ExtrasItemPage.qml"), with(live.model.get(), {{"itemId", itemId}})),
              nullptr);
    EXPECT_FALSE(screens.shows(QStringLiteral("Not available")));
    for (const auto* words : {"Information", "Kind", "Price", "Free", "Provider", "Ostrel", "Installs"})
        EXPECT_TRUE(screens.shows(QString::fromUtf8(words))) << words;
    EXPECT_TRUE(screens.shows(item.value("installsLine").toString()));
    EXPECT_TRUE(screens.shows(item.value("action").toMap().value("title").toString()));
    EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
    EXPECT_TRUE(screens.unnamedInteractiveItems().isEmpty())
        << screens.unnamedInteractiveItems().join(u'\n').toStdString();
}

} // namespace
} // namespace ostrel::hub
