// The app model headless against the demo services over real HTTPS, with sessions in memory,
// a real ledger and snapshot folder, and a private session bus for notifications and the badge.
#include "Catalog/SnapshotCache.h"
#include "DemoHub.h"
#include "EventLoop.h"
#include "Install/AppDirectories.h"
#include "Model/AppModel.h"
#include "Model/BannerList.h"
#include "Model/JobQueue.h"
#include "NotificationListener.h"
#include "PrivateSessionBus.h"
#include "RunningDemo.h"
#include "Services/MoonbaseError.h"
#include "TempDir.h"

#include <fstream>
#include <nlohmann/json.hpp>

#include <gmock/gmock.h>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;
using test_support::bannerTexts;
using test_support::HubFolders;
using test_support::idsIn;
using test_support::recordInstalled;
using ::testing::ElementsAre;

Storefront oneProductStorefront() {
    return Storefront{.suggestedCurrency = "EUR",
                      .products = {StorefrontProduct{.id = "kept-from-last-time",
                                                     .name = "Kept From Last Time",
                                                     .defaultVariation = PricingVariation{.id = "v"}}}};
}

struct AppModelTest : ::testing::Test {
    demo::RunningDemo demo;
    HubFolders hub;
    std::optional<test::NotificationListener> notifications; // only ever on the private bus

    void SetUp() override {
        OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
        notifications.emplace();
    }
    std::unique_ptr<AppModel> model(ModelEnvironment environment) {
        return std::make_unique<AppModel>(std::move(environment));
    }
    std::unique_ptr<AppModel> model() {
        return model(hub.environmentFor(demo.config, demo.services.codeSigningRoot()));
    }
    static void signIn(AppModel& app) { app.services().client.signIn("demo@ostrel.test", "demo"); }
};

TEST_F(AppModelTest, StartsOnTheSavedCatalogueThenTheLiveOneReplacesItAndIsSaved) {
    hub.snapshots().save(oneProductStorefront(), "storefront");
    auto app = model();
    // Before any request: the saved catalogue is on screen.
    EXPECT_TRUE(app->storefrontIsCached());
    EXPECT_THAT(idsIn(*app->products()), ElementsAre("kept-from-last-time"));

    test::await(app->start());
    EXPECT_FALSE(app->storefrontIsCached());
    EXPECT_GT(app->products()->count(), 10);
    EXPECT_NE(app->state().storeProduct("aurora-verb"), nullptr);
    EXPECT_TRUE(app->lastChecked().isValid());
    EXPECT_FALSE(app->loading());
    EXPECT_THAT(bannerTexts(*app->banners()),
                ElementsAre("Welcome to the Ostrel Hub beta. If anything breaks, Help > Send Beta Feedback tells us."));
    // The live catalogue becomes the next start's snapshot, written off the GUI thread.
    EXPECT_TRUE(
        test::runUntil([&] { return hub.snapshots().load<Storefront>("storefront") == *app->state().storefront; }));
    EXPECT_TRUE(test::runUntil([&] { return hub.snapshots().load<CatalogExtras>("extras").has_value(); }));

    // The welcome is said once per user.
    auto again = model();
    EXPECT_TRUE(again->storefrontIsCached());
    test::await(again->start());
    EXPECT_TRUE(bannerTexts(*again->banners()).empty());
}

TEST_F(AppModelTest, AColdStartRestoresNothing) {
    hub.snapshots().save(oneProductStorefront(), "storefront");
    auto environment = hub.environmentFor(demo.config, demo.services.codeSigningRoot());
    environment.cold = true;
    auto app = model(std::move(environment));
    EXPECT_FALSE(app->hasStorefront());
    EXPECT_FALSE(app->storefrontIsCached());
    EXPECT_EQ(app->products()->count(), 0);
}

TEST_F(AppModelTest, AStoreThatDoesNotAnswerIsQuietOnlyWhileTheSavedCatalogueIsShown) {
    auto unreachable = demo.config;
    unreachable.connectTo[unreachable.storeApiHost] = "127.0.0.1:1";
    {
        auto app = model(hub.environmentFor(unreachable, demo.services.codeSigningRoot()));
        test::await(app->refreshAll());
        EXPECT_FALSE(app->hasStorefront());
        const auto texts = bannerTexts(*app->banners());
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_FALSE(texts.front().isEmpty());
        EXPECT_EQ(app->banners()->data(app->banners()->index(0), BannerList::toneRole).toString(), "failure");
    }
    hub.snapshots().save(oneProductStorefront(), "storefront");
    auto app = model(hub.environmentFor(unreachable, demo.services.codeSigningRoot()));
    test::await(app->refreshAll());
    EXPECT_TRUE(app->storefrontIsCached());
    EXPECT_EQ(app->banners()->rowCount(), 0);
}

TEST_F(AppModelTest, ARefreshWithTheDemoAccountFillsOwnedProductsInstalledVersionsAndUpdates) {
    auto app = model();
    signIn(*app);
    test::await(app->refreshAll());
    EXPECT_TRUE(app->storeConnected());
    EXPECT_EQ(app->storeUserName(), "Demo Customer");
    EXPECT_THAT(idsIn(*app->ownedProducts()), ElementsAre("aurora-verb", "tidal-delay", "grain-field", "meter-one",
                                                          "pulse-gate", "sketchpad", "ostrel-tuner"));
    EXPECT_EQ(app->updateCount(), 0) << "nothing is installed yet";

    recordInstalled(*app, "tidal-delay", "Tidal Delay", "1.2.0");
    test::await(app->refreshAll());
    EXPECT_EQ(app->installedVersion("tidal-delay"), "1.2.0");
    EXPECT_EQ(app->latestVersion("tidal-delay"), "1.8.0");
    EXPECT_TRUE(app->hasUpdate("tidal-delay"));
    EXPECT_THAT(idsIn(*app->updatesAvailable()), ElementsAre("tidal-delay"));
    EXPECT_EQ(app->updateCount(), 1);
}

TEST_F(AppModelTest, FreshUpdatesAreAnnouncedOnceAndOnlyWhileTheWindowIsNotInFront) {
    auto app = model();
    app->setAutoUpdate(false);
    signIn(*app);
    recordInstalled(*app, "tidal-delay", "Tidal Delay", "1.0");

    test::await(app->refreshAll());
    ASSERT_TRUE(test::runUntil([&] { return notifications->received().size() == 1; }));
    EXPECT_EQ(notifications->received().front().summary, "An update is ready");
    EXPECT_EQ(notifications->received().front().body, "Tidal Delay");

    // Nothing fresh: no second notification.
    test::await(app->refreshAll());
    recordInstalled(*app, "aurora-verb", "Aurora Verb", "1.0");
    // A fresh one while the user looks at the window: not posted, and not announced again later.
    hub.active = true;
    test::await(app->refreshAll());
    hub.active = false;
    test::await(app->refreshAll());
    test::settle(std::chrono::milliseconds(300));
    EXPECT_EQ(notifications->received().size(), 1u);

    recordInstalled(*app, "grain-field", "Grain Field", "1.0");
    test::await(app->refreshAll());
    ASSERT_TRUE(test::runUntil([&] { return notifications->received().size() == 2; }));
    EXPECT_EQ(notifications->received().back().summary, "3 updates are ready");
    EXPECT_EQ(notifications->received().back().body, "Aurora Verb, Tidal Delay, Grain Field");
}

TEST_F(AppModelTest, AutomaticUpdatesQueueJobsInsteadOfAnnouncingWhenTheStoreIsConnected) {
    auto app = model();
    ASSERT_TRUE(app->autoUpdate());
    recordInstalled(*app, "meter-one", "Meter One", "1.0.0");

    // Not connected: the store cannot be asked, so the user is told.
    test::await(app->refreshAll());
    EXPECT_EQ(app->updateCount(), 0) << "without the account nothing is owned";
    signIn(*app);
    test::await(app->refreshAll());
    EXPECT_EQ(app->updateCount(), 1);
    ASSERT_NE(app->jobs()->job(std::string("meter-one")), nullptr);
    test::settle(std::chrono::milliseconds(300));
    EXPECT_TRUE(notifications->received().empty());
    EXPECT_TRUE(test::runUntil([&] { return app->installedVersion("meter-one") == "1.0.6"; }));
    test::await(app->refreshAll());
    EXPECT_EQ(app->updateCount(), 0);
}

TEST_F(AppModelTest, AnInstallWithoutTheStoreWaitsForTheSignInAndAProductWithoutAMacDownloadSaysSo) {
    auto app = model();
    test::await(app->refreshAll());
    app->install("aurora-verb");
    EXPECT_TRUE(app->showSignIn());
    EXPECT_EQ(app->signInPurpose(), AppModel::SignInPurpose::connectStore);
    EXPECT_EQ(app->signInReason(), "Downloads come from the Ostrel store. Connect your store account once and Aurora "
                                   "Verb will start installing.");
    ASSERT_TRUE(app->pendingInstall().has_value());
    EXPECT_EQ(app->pendingInstall()->product.id, "aurora-verb");
    EXPECT_EQ(app->jobs()->rowCount(), 0);

    signIn(*app);
    test::await(app->refreshAll());
    app->install("echo-lab");
    EXPECT_THAT(bannerTexts(*app->banners()), ::testing::Contains(QString("Echo Lab has no macOS download yet.")));
    EXPECT_EQ(app->jobs()->rowCount(), 0);
}

std::vector<std::string> idsOf(const std::vector<ExtrasItem>& items) {
    std::vector<std::string> ids;
    for (const auto& item : items)
        ids.push_back(item.id);
    return ids;
}

TEST_F(AppModelTest, KindsExtrasSearchAndInstallRoutesComeFromTheCatalogueAndTheFeed) {
    auto app = model();
    test::await(app->refreshAll());
    const auto apps = app->products(ProductKind::app);
    ASSERT_FALSE(apps.empty());
    for (const auto* product : apps)
        EXPECT_EQ(Catalog::entry(product->id).kind, ProductKind::app) << product->id;
    EXPECT_EQ(apps.size() + app->products(ProductKind::plugIn).size() + app->products(ProductKind::game).size(),
              static_cast<std::size_t>(app->products()->count()));

    EXPECT_TRUE(app->searchExtras("   ").empty());
    EXPECT_THAT(idsOf(app->searchExtras("PREVIEW")), ElementsAre("prism-eq-preview"));
    ASSERT_NE(app->extrasItem("prism-eq-preview"), nullptr);
    EXPECT_EQ(app->extrasItem("nothing-like-it"), nullptr);
    // In the store with a Mac download: the hub installs it; Windows only: nowhere to go.
    EXPECT_EQ(app->route(*app->extrasItem("prism-eq-preview")), ExtrasItem::InstallRoute::hub("prism-eq"));
    EXPECT_EQ(app->route(*app->extrasItem("echo-lab-mac")).kind, ExtrasItem::InstallRoute::Kind::unavailable);
    EXPECT_EQ(app->route(*app->extrasItem("impulse-pack")).kind, ExtrasItem::InstallRoute::Kind::browser);

    app->navigation()->setSelection(HubSection::freeTools);
    app->showExtra("impulse-pack");
    EXPECT_EQ(app->navigation()->path(), QStringList{"extra:impulse-pack"});
    app->goBack();
    EXPECT_TRUE(app->navigation()->path().isEmpty());
}

TEST_F(AppModelTest, AStoreSessionEndedInAnActionAsksForTheSignInAgain) {
    auto app = model();
    signIn(*app);
    test::await(app->refreshAll());
    ASSERT_TRUE(app->storeConnected());
    app->report(std::make_exception_ptr(MoonbaseError::notSignedIn()));
    EXPECT_FALSE(app->storeConnected());
    EXPECT_EQ(app->ownedProducts()->count(), 0);
    EXPECT_TRUE(app->showSignIn());
    EXPECT_EQ(app->signInReason(), "Your store session ended. Sign in again to continue.");
    EXPECT_EQ(app->banners()->rowCount(), 0);
}

// A catalogue whose store takes only US dollars.
fs::path dollarsOnlyCatalogue(const fs::path& folder) {
    std::ifstream in(OSTREL_DEMO_CATALOGUE);
    auto catalogue = nlohmann::json::parse(in);
    catalogue["currencies"] = {"USD"};
    const auto file = folder / "catalogue.json";
    std::ofstream(file) << catalogue.dump();
    return file;
}

TEST(AppModelCurrency, AStoreThatDoesNotTakeTheChosenCurrencySwitchesToItsSuggestionAndKeepsIt) {
    test::TempDir dir;
    demo::DemoServices services{demo::DemoServicesOptions{.stateFolder = dir / "state",
                                                          .catalogueFile = dollarsOnlyCatalogue(dir.path()),
                                                          .settleDelay = std::chrono::seconds(0),
                                                          .log = [](const std::string&) {}}};
    services.start();
    HubFolders hub;
    const auto config = ServiceConfig::load(services.configFile());
    {
        AppModel app(hub.environmentFor(config, services.codeSigningRoot()));
        EXPECT_EQ(app.currency(), "EUR");
        test::await(app.loadStorefront());
        EXPECT_EQ(app.currency(), "USD");
    }
    AppModel again(hub.environmentFor(config, services.codeSigningRoot()));
    EXPECT_EQ(again.currency(), "USD");
}

TEST_F(AppModelTest, AStoreThatTakesTheChosenCurrencyLeavesItAlone) {
    auto app = model();
    test::await(app->loadStorefront());
    EXPECT_EQ(app->currency(), "EUR");
}

} // namespace
} // namespace ostrel::hub
