// What the screens read from a live app model on the demo services: the sidebar's badges, the
// action buttons as products are bought, installed and updated, the library, product and extras
// pages, and the search field's shortcuts.
#include "DemoHub.h"
#include "EventLoop.h"
#include "Model/AppModel.h"
#include "NotificationListener.h"
#include "PrivateSessionBus.h"
#include "RunningDemo.h"

#include <QAbstractItemModelTester>
#include <fstream>

#include <gmock/gmock.h>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;
using test_support::column;
using test_support::idsIn;
using test_support::recordInstalled;
using ::testing::ElementsAre;

struct AppModelScreensTest : ::testing::Test {
    demo::RunningDemo demo;
    test_support::HubFolders hub;
    std::optional<test::NotificationListener> notifications; // keeps posts on the private bus
    QLocale before;

    void SetUp() override {
        OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
        notifications.emplace();
        // Prices and sizes in one known locale, whatever the machine's.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override { QLocale::setDefault(before); }

    std::unique_ptr<AppModel> model(ModelEnvironment environment) {
        auto app = std::make_unique<AppModel>(std::move(environment));
        app->setAutoUpdate(false);
        return app;
    }
    std::unique_ptr<AppModel> model() { return model(environment()); }
    ModelEnvironment environment() { return hub.environmentFor(demo.config, demo.services.codeSigningRoot()); }
    static void signIn(AppModel& app) { app.services().client.signIn("demo@ostrel.test", "demo"); }

    static QString kind(const AppModel& app, const char* id) { return app.actionState(id)["kind"].toString(); }
    static QString title(const AppModel& app, const char* id) { return app.actionState(id)["title"].toString(); }
};

TEST_F(AppModelScreensTest, SidebarBadgesFollowTheExtrasTheUpdatesTheWishlistAndTheJobs) {
    auto app = model();
    QAbstractItemModelTester tester(app->sections(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    const auto badge = [&](HubSection section) { return app->sections()->badge(section); };
    signIn(*app);
    test::await(app->refreshAll());
    EXPECT_EQ(badge(HubSection::freeTools), 3);
    EXPECT_EQ(badge(HubSection::earlyAccess), 3);
    EXPECT_EQ(badge(HubSection::freeTools), app->freeTools()->count());
    EXPECT_EQ(badge(HubSection::updates), 0);
    EXPECT_EQ(badge(HubSection::wishlist), 0);
    EXPECT_EQ(badge(HubSection::downloads), 0);
    EXPECT_TRUE(app->extrasLoaded());

    app->toggleWishlist("velvet-comp");
    app->toggleWishlist("not-in-the-store");
    EXPECT_EQ(badge(HubSection::wishlist), 1) << "only saved products the store has";
    EXPECT_THAT(idsIn(*app->wishlistProducts()), ElementsAre("velvet-comp"));
    app->toggleWishlist("velvet-comp");
    EXPECT_EQ(badge(HubSection::wishlist), 0);

    recordInstalled(*app, "tidal-delay", "Tidal Delay", "1.2.0");
    test::await(app->refreshAll());
    EXPECT_EQ(badge(HubSection::updates), 1);

    app->performAction("meter-one");
    EXPECT_EQ(badge(HubSection::downloads), 1);
    ASSERT_TRUE(test::runUntil([&] { return app->jobs()->job(std::string("meter-one"))->isFinished(); }));
    EXPECT_EQ(badge(HubSection::downloads), 0) << "a finished job no longer counts";
}

TEST_F(AppModelScreensTest, TheActionButtonFollowsWhatTheUserOwnsInstallsAndRuns) {
    auto app = model();
    test::await(app->refreshAll());
    // Signed out: nothing is owned.
    EXPECT_EQ(kind(*app, "meter-one"), "get");
    EXPECT_EQ(title(*app, "meter-one"), "Get");
    EXPECT_EQ(kind(*app, "aurora-verb"), "buy");
    EXPECT_EQ(title(*app, "aurora-verb"), QString::fromUtf8("€45.00"));
    EXPECT_EQ(kind(*app, "no-such-product"), "none");
    const int beforeCurrency = app->actionRevision();
    app->setCurrency("USD");
    EXPECT_GT(app->actionRevision(), beforeCurrency);
    EXPECT_EQ(title(*app, "aurora-verb"), "$49.00");
    app->setCurrency("EUR");

    signIn(*app);
    recordInstalled(*app, "tidal-delay", "Tidal Delay", "1.2.0");
    recordInstalled(*app, "sketchpad", "Sketchpad", "3.2.0");
    recordInstalled(*app, "grain-field", "Grain Field", "1.2.0");
    test::await(app->refreshAll());
    EXPECT_EQ(kind(*app, "aurora-verb"), "install");
    EXPECT_EQ(kind(*app, "tidal-delay"), "update");
    EXPECT_EQ(kind(*app, "sketchpad"), "open");
    EXPECT_EQ(title(*app, "sketchpad"), "Open");
    EXPECT_EQ(kind(*app, "grain-field"), "installed");
    EXPECT_EQ(kind(*app, "velvet-comp"), "buy");
    EXPECT_TRUE(app->actionState("aurora-verb")["job"].value<QObject*>() == nullptr);

    // Installing: the button shows the job until it is done, and the revision moves each time.
    const int beforeInstall = app->actionRevision();
    app->performAction("aurora-verb");
    EXPECT_GT(app->actionRevision(), beforeInstall);
    EXPECT_EQ(kind(*app, "aurora-verb"), "progress");
    auto* job = app->actionState("aurora-verb")["job"].value<QObject*>();
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job, app->jobs()->job(QString("aurora-verb")));
    ASSERT_TRUE(test::runUntil([&] { return kind(*app, "aurora-verb") == "installed"; }));
    EXPECT_EQ(app->installedVersion("aurora-verb"), "2.4.1");

    // The price button buys the product alone; the cart is for "Add to Cart".
    app->performAction("velvet-comp");
    ASSERT_TRUE(test::runUntil([&] { return app->checkout()->active(); }));
    EXPECT_EQ(app->checkout()->productNames(), "Velvet Comp");
    EXPECT_EQ(app->cartCount(), 0);
    app->addToCart("velvet-comp");
    EXPECT_EQ(app->cartIds(), QStringList{"velvet-comp"});
    EXPECT_EQ(app->cartCount(), 1);
    EXPECT_EQ(app->banners()->data(app->banners()->index(app->banners()->rowCount() - 1), BannerList::textRole),
              "Velvet Comp is in your cart.");
    app->addToCart("no-such-product");
    EXPECT_EQ(app->cartCount(), 1);
    app->removeFromCart("velvet-comp");
    EXPECT_EQ(app->cartCount(), 0);
}

void touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
}

TEST_F(AppModelScreensTest, TheLibraryFiltersCountsAndDescribesItsRows) {
    auto environment = this->environment();
    const fs::path systemRoot = hub.dir / "system";
    environment.systemRoot = systemRoot;
    auto app = model(std::move(environment));
    QAbstractItemModelTester tester(app->library(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    signIn(*app);
    const fs::path plugIns = hub.dir / "home" / "Library" / "Audio" / "Plug-Ins";
    const auto bundle = [](const fs::path& path, BundleKind kind) {
        return InstalledItem{.path = path.string(), .kind = kind, .identifier = "x", .teamID = "T", .version = {}};
    };
    touch(plugIns / "VST3" / "Tidal Delay.vst3");
    touch(systemRoot / "Library" / "Audio" / "Plug-Ins" / "VST3" / "Tidal Delay.vst3");
    recordInstalled(*app, "tidal-delay", "Tidal Delay", "1.8.0",
                    {bundle(plugIns / "VST3" / "Tidal Delay.vst3", BundleKind::vst3)});
    recordInstalled(*app, "grain-field", "Grain Field", "1.2.0",
                    {bundle(plugIns / "CLAP" / "Grain Field.clap", BundleKind::clap)});
    test::await(app->refreshAll());

    EXPECT_EQ(app->library()->count(), 7);
    EXPECT_EQ(app->libraryCountLine(), "7 owned, 1 installed") << "Grain Field's bundles are gone";
    app->setLibraryFilter(1);
    EXPECT_THAT(idsIn(*app->library()), ElementsAre("tidal-delay"));
    EXPECT_THAT(idsIn(*app->installedProducts()), ElementsAre("tidal-delay"));
    app->setLibraryFilter(2);
    EXPECT_EQ(app->library()->count(), 6);
    app->setLibraryFilter(3);
    EXPECT_EQ(app->libraryFilter(), 2) << "no such filter";

    auto row = app->libraryRow("tidal-delay");
    EXPECT_EQ(row["formats"].toString(), "VST3 + Audio Unit + CLAP");
    EXPECT_EQ(row["stateLine"].toString(), "Installed 1.8.0");
    EXPECT_TRUE(row["olderCopy"].toBool());
    EXPECT_TRUE(row["installed"].toBool());
    row = app->libraryRow("grain-field");
    EXPECT_EQ(row["stateLine"].toString(), "Removed outside the hub");
    EXPECT_FALSE(row["installed"].toBool());
    EXPECT_EQ(kind(*app, "grain-field"), "install") << "removed by hand: installs again";
    row = app->libraryRow("sketchpad");
    EXPECT_EQ(row["stateLine"].toString(), "Not installed. Latest 3.2.0");
    EXPECT_EQ(row["formats"].toString(), "App");
    EXPECT_TRUE(row["isApp"].toBool());
    EXPECT_EQ(app->libraryRow("echo-lab")["stateLine"].toString(), "No macOS download yet");

    // Putting the bundle back is noticed by the next look at the disk.
    touch(plugIns / "CLAP" / "Grain Field.clap");
    test::await(app->checkDisk());
    EXPECT_EQ(app->libraryCountLine(), "7 owned, 2 installed");
}

TEST_F(AppModelScreensTest, UpdatesSayWhatChangesAndWhenTheHubLastChecked) {
    auto app = model();
    EXPECT_EQ(app->lastCheckedText(), "Not checked yet");
    signIn(*app);
    recordInstalled(*app, "tidal-delay", "Tidal Delay", "1.2.0");
    test::await(app->refreshAll());
    EXPECT_EQ(app->lastCheckedText(), "Checked just now");
    EXPECT_EQ(app->updateLine("tidal-delay"), "1.2.0 to 1.8.0");
    EXPECT_EQ(app->releaseNotes("tidal-delay"), "1.8.0 adds tempo-synced dotted and triplet values.");
    EXPECT_EQ(app->releaseNotes("velvet-comp"), "") << "not owned: its notes were not fetched";
    EXPECT_TRUE(app->signedIn());
    EXPECT_EQ(app->accountName(), "Demo Customer");
}

TEST_F(AppModelScreensTest, ShelvesAndTheProductPageComeFromTheLiveStore) {
    auto app = model();
    EXPECT_FALSE(app->signedIn());
    EXPECT_EQ(app->accountName(), "");
    test::await(app->refreshAll());
    EXPECT_EQ(app->featured()->count(), 5);
    EXPECT_EQ(app->notOwned()->count(), app->products()->count()) << "signed out, nothing is owned";
    EXPECT_EQ(app->plugIns()->count() + app->apps()->count() + app->games()->count(), app->products()->count());
    EXPECT_THAT(idsIn(*app->apps()), ::testing::Contains("sketchpad"));

    const auto page = app->productPage("velvet-comp");
    EXPECT_TRUE(page["exists"].toBool());
    EXPECT_EQ(page["name"].toString(), "Velvet Comp");
    EXPECT_EQ(page["version"].toString(), "3.0.2");
    EXPECT_EQ(page["price"].toString(), QString::fromUtf8("€55.00"));
    EXPECT_EQ(page["wasPrice"].toString(), QString::fromUtf8("was €74.00"));
    EXPECT_EQ(page["category"].toString(), "Dynamics");
    EXPECT_TRUE(page["compatibility"].toStringList().contains("Mac"));
    EXPECT_FALSE(page["size"].toString().isEmpty());
    EXPECT_EQ(page["shareUrl"].toString(),
              QString::fromStdString("https://" + demo.config.storeApiHost + "/buy/velvet-comp"));
    EXPECT_TRUE(page["isPaidNotOwned"].toBool());
    EXPECT_EQ(app->productPage("studio-pass")["licence"].toString(), "Subscription");
    EXPECT_FALSE(app->productPage("gone-from-the-store")["exists"].toBool());
    EXPECT_EQ(app->formatBytes(12'400'000), "12.4 MB");
}

TEST_F(AppModelScreensTest, OnlyWhatIsForSaleGoesInTheCart) {
    Storefront saved{.suggestedCurrency = "EUR"};
    saved.products.push_back(StorefrontProduct{.id = "withdrawn", .name = "Withdrawn"});
    saved.products.push_back(StorefrontProduct{
        .id = "on-sale", .name = "On Sale", .defaultVariation = PricingVariation{.id = "v", .price = {{"EUR", 5}}}});
    hub.snapshots().save(saved, "storefront");
    auto app = model(); // the saved catalogue, before any request
    app->addToCart("withdrawn");
    EXPECT_EQ(app->cartCount(), 0);
    EXPECT_EQ(kind(*app, "withdrawn"), "none");
    app->addToCart("on-sale");
    EXPECT_EQ(app->cartIds(), QStringList{"on-sale"});
}

TEST_F(AppModelScreensTest, ExtrasPagesSayHowEachItemIsHad) {
    auto app = model();
    test::await(app->refreshAll());
    EXPECT_THAT(column(*app->freeTools(), &ExtrasRow::itemId),
                ElementsAre("ostrel-tuner", "impulse-pack", "loop-cutter"));
    EXPECT_THAT(column(*app->earlyAccess(), &ExtrasRow::itemId),
                ElementsAre("pitch-pong", "prism-eq-preview", "echo-lab-mac"));
    const auto& early = app->earlyAccess()->rows();
    EXPECT_EQ(early[1].route, "hub");
    EXPECT_EQ(early[2].route, "soon");

    auto page = app->extrasItemPage("prism-eq-preview");
    EXPECT_EQ(page["shelfTitle"].toString(), "Early Access");
    EXPECT_EQ(page["action"].toMap()["kind"].toString(), "hub");
    EXPECT_EQ(page["action"].toMap()["title"].toString(), QString::fromUtf8("€64.00")) << "Prism EQ's own button";
    page = app->extrasItemPage("impulse-pack");
    EXPECT_EQ(page["action"].toMap()["kind"].toString(), "view");
    EXPECT_FALSE(page["releaseUrl"].toString().isEmpty());
    page = app->extrasItemPage("echo-lab-mac");
    EXPECT_EQ(page["action"].toMap()["title"].toString(), "Soon");
    EXPECT_FALSE(app->extrasItemPage("no-such-item")["exists"].toBool());

    // Through the hub, the extras item does what the product's button does: buy it.
    app->performExtrasAction("prism-eq-preview");
    ASSERT_TRUE(test::runUntil([&] { return app->checkout()->active(); }));
    EXPECT_EQ(app->checkout()->session()->productIds, QStringList{"prism-eq"});
}

TEST_F(AppModelScreensTest, ReturnInTheSearchOpensTheFirstMatchAndASectionClearsTheSearch) {
    auto app = model();
    test::await(app->refreshAll());
    auto* navigation = app->navigation();
    navigation->setSearch("delay");
    ASSERT_GT(app->searchResults()->count(), 0);
    const QString first = app->searchResults()->productIdAt(0);
    app->openFirstMatch();
    EXPECT_EQ(navigation->search(), "");
    EXPECT_EQ(navigation->path(), QStringList{first});

    navigation->setSearch("impulse");
    EXPECT_EQ(app->searchResults()->count(), 0);
    EXPECT_THAT(column(*app->searchExtrasResults(), &ExtrasRow::itemId), ElementsAre("impulse-pack"));
    app->openFirstMatch();
    EXPECT_EQ(navigation->path(), QStringList{"extra:impulse-pack"});

    navigation->setSearch("nothing matches this");
    app->openFirstMatch();
    EXPECT_EQ(navigation->search(), "nothing matches this") << "nothing to open";

    app->selectSection(QVariant::fromValue(HubSection::library));
    EXPECT_EQ(navigation->search(), "");
    EXPECT_EQ(navigation->selection(), HubSection::library);
}

} // namespace
} // namespace ostrel::hub
