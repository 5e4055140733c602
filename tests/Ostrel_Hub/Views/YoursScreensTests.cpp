// The screens of the user's own things (Library, Updates, Downloads, Wishlist) on an empty
// model, on one that only has the last run's catalogue, and on one signed in to the demo store
// over real HTTPS: they load without a QML warning, name every control, say the right words
// when there is nothing or nobody, and follow the model as the user filters, installs and clears.
#include "EventLoop.h"
#include "Install/AppDirectories.h"
#include "Install/InstallLock.h"
#include "LoggingDemo.h"
#include "Model/AppModel.h"
#include "Model/JobQueue.h"
#include "Model/Navigation.h"
#include "Model/Wishlist.h"
#include "PrivateSessionBus.h"
#include "RunningDemo.h"
#include "ShellModels.h"
#include "ShownScreen.h"
#include "TempDir.h"

#include <QImage>
#include <QQuickItem>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;

const QStringList yoursScreens = {QStringLiteral("LibraryView.qml"), QStringLiteral("UpdatesView.qml"),
                                  QStringLiteral("DownloadsView.qml"), QStringLiteral("WishlistView.qml")};

using test_support::HubFolders;
using test_support::recordInstalled;

using Screen = test::ShownScreen;

// The rows of the screen's list or grid with this object name.
int rows(const Screen& screen, const char* name) {
    return screen.child(name)->property("count").toInt();
}

void expectCleanOnEveryScreen(AppModel& model, const char* which) {
    for (const auto& file : yoursScreens)
        Screen(file, model).expectClean(which + (" " + file.toStdString()));
}

TEST(YoursScreens, LoadCleanlyOnAnEmptyAndOnACachedModel) {
    test_models::EmptyModel empty;
    expectCleanOnEveryScreen(*empty.model, "empty");

    test_models::CachedModel cached;
    ASSERT_TRUE(cached.model->storefrontIsCached());
    expectCleanOnEveryScreen(*cached.model, "cached");
}

TEST(YoursScreens, WithoutAnAccountLibraryAndUpdatesAskToSignInAndTheOthersSayTheyAreEmpty) {
    test_models::CachedModel cached;
    auto& app = cached.model;
    {
        Screen library(QStringLiteral("LibraryView.qml"), *app);
        EXPECT_TRUE(library.harness.shows(
            QStringLiteral("Your library lists everything you own on the Ostrel store, ready to install.")));
        EXPECT_TRUE(library.harness.shows(QStringLiteral("Sign in to see your library")));
        EXPECT_FALSE(library.harness.shows(QStringLiteral("Nothing here yet")));
        EXPECT_FALSE(library.harness.shows(QStringLiteral("All"))) << "no filter without a library";
        EXPECT_FALSE(library.harness.shows(QStringLiteral("Connect your store account to install")));
        EXPECT_FALSE(app->showSignIn());
        library.click(QStringLiteral("Sign In"));
        EXPECT_TRUE(app->showSignIn());
        app->setShowSignIn(false);
    }
    {
        Screen updates(QStringLiteral("UpdatesView.qml"), *app);
        EXPECT_TRUE(updates.harness.shows(QStringLiteral("Sign in to see updates for what you own.")));
        EXPECT_FALSE(updates.harness.shows(QStringLiteral("Update All")));
        EXPECT_FALSE(updates.harness.shows(QStringLiteral("Everything you installed is up to date.")));
        updates.click(QStringLiteral("Sign In"));
        EXPECT_TRUE(app->showSignIn());
    }
    {
        Screen downloads(QStringLiteral("DownloadsView.qml"), *app);
        EXPECT_TRUE(downloads.harness.shows(QStringLiteral("No downloads")));
        EXPECT_TRUE(
            downloads.harness.shows(QStringLiteral("Installs, updates and release checks show their progress here.")));
        EXPECT_FALSE(downloads.harness.shows(QStringLiteral("Clear Finished")));
    }
    {
        app->navigation()->setSelection(HubSection::wishlist);
        Screen wishlist(QStringLiteral("WishlistView.qml"), *app);
        EXPECT_TRUE(wishlist.harness.shows(QStringLiteral("Your wishlist is empty")));
        EXPECT_TRUE(wishlist.harness.shows(QStringLiteral("Tap the heart on any product to keep it here for later.")));
        wishlist.click(QStringLiteral("Browse Discover"));
        EXPECT_EQ(app->navigation()->selection(), HubSection::discover);
        EXPECT_TRUE(wishlist.harness.warnings().isEmpty()) << test::listed(wishlist.harness.warnings());
    }
}

// A model signed in to the demo store, with two products recorded as installed: Tidal Delay at an
// older release than the store's, Meter One at the current one.
class YoursScreensLive : public ::testing::Test {
protected:
    static void SetUpTestSuite() { shared = std::make_unique<demo::RunningDemo>(); }
    static void TearDownTestSuite() { shared.reset(); }

    void SetUp() override {
        OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
        folders.active = true;
        app = std::make_unique<AppModel>(folders.environmentFor(demo.config, demo.services.codeSigningRoot()));
        app->setAutoUpdate(false);
        app->services().client.signIn("demo@ostrel.test", "demo");
        recordInstalled(*app, "tidal-delay", "Tidal Delay", "1.2.0");
        recordInstalled(*app, "meter-one", "Meter One", "1.0.6");
        test::await(app->refreshAll());
        ASSERT_TRUE(app->storeConnected());
    }

    void TearDown() override { fault("mode=none"); }

    // Switches a misbehaviour of the download host on or off.
    void fault(const std::string& query) {
        const Url control(demo::DemoHosts::https(demo.services.hosts().downloads) + "/_demo/fault?" + query);
        ASSERT_EQ(demo.transport.send(HTTPRequest{.url = control, .method = "POST"}).status, 200);
    }

    InstallJob* jobOf(const char* productId) const { return app->jobs()->job(QString::fromLatin1(productId)); }
    bool settled(const char* productId) const {
        auto* job = jobOf(productId);
        return job && !job->isRunning() && (job->isFinished() || job->stageKind() == InstallJob::Stage::paused);
    }

    static inline std::unique_ptr<demo::RunningDemo> shared;
    demo::RunningDemo& demo = *shared;
    HubFolders folders;
    std::unique_ptr<AppModel> app;
};

TEST_F(YoursScreensLive, EveryScreenLoadsCleanlyWithTheLibraryUpdatesAJobAndTheWishlistFilled) {
    app->wishlist()->toggle(QStringLiteral("aurora-verb"));
    fault("mode=stall&count=1");
    app->install(QStringLiteral("grain-field"));
    ASSERT_TRUE(test::runUntil([&] { return jobOf("grain-field") && jobOf("grain-field")->received() > 0; }));
    expectCleanOnEveryScreen(*app, "live");
}

TEST_F(YoursScreensLive, TheLibraryFilterChangesTheRowsAndEachRowSaysWhereItStands) {
    Screen library(QStringLiteral("LibraryView.qml"), *app);
    EXPECT_FALSE(library.harness.shows(QStringLiteral("Sign in to see your library")));
    EXPECT_TRUE(library.harness.shows(QStringLiteral("7 owned, 2 installed")));
    EXPECT_EQ(rows(library, "libraryList"), 7);
    EXPECT_TRUE(library.harness.shows(QStringLiteral("Installed 1.2.0")));
    EXPECT_TRUE(library.harness.shows(QStringLiteral("More actions for Tidal Delay")));

    library.click(QStringLiteral("Installed"));
    EXPECT_EQ(app->property("libraryFilter").toInt(), 1);
    EXPECT_EQ(rows(library, "libraryList"), 2);
    EXPECT_TRUE(library.harness.shows(QStringLiteral("Meter One")));
    EXPECT_FALSE(library.harness.shows(QStringLiteral("Aurora Verb")));
    EXPECT_TRUE(library.harness.shows(QStringLiteral("7 owned, 2 installed")));

    library.click(QStringLiteral("Not Installed"));
    EXPECT_EQ(app->property("libraryFilter").toInt(), 2);
    EXPECT_EQ(rows(library, "libraryList"), 5);
    EXPECT_TRUE(library.harness.shows(QStringLiteral("Aurora Verb")));
    EXPECT_FALSE(library.harness.shows(QStringLiteral("Tidal Delay")));

    library.click(QStringLiteral("All"));
    EXPECT_EQ(rows(library, "libraryList"), 7);
    library.saveBoth(QStringLiteral("yours-library"));
}

TEST_F(YoursScreensLive, ARowMenuNamesEveryActionAndTakesTheUserToTheStore) {
    Screen library(QStringLiteral("LibraryView.qml"), *app);
    library.click(QStringLiteral("More actions for Tidal Delay"));
    for (const auto* words : {"Open", "View in Finder", "Reinstall", "Check This Release Without Installing",
                              "Move to Trash", "View in Store"})
        EXPECT_TRUE(library.harness.shows(QString::fromLatin1(words))) << words;
    EXPECT_TRUE(library.harness.unnamedInteractiveItems().isEmpty())
        << test::listed(library.harness.unnamedInteractiveItems());
    EXPECT_FALSE(library.enabled(QStringLiteral("Open"))) << "a plug-in is not opened";
    EXPECT_TRUE(library.enabled(QStringLiteral("Move to Trash")));
    library.saveBoth(QStringLiteral("yours-library-menu"));
    library.click(QStringLiteral("View in Store"));
    EXPECT_EQ(app->navigation()->path(), QStringList{QStringLiteral("tidal-delay")});
}

TEST_F(YoursScreensLive, UpdatesListTheNewerReleaseWithItsVersionsAndTheSwitchFollowsTheSetting) {
    Screen updates(QStringLiteral("UpdatesView.qml"), *app);
    EXPECT_TRUE(updates.harness.shows(QStringLiteral("Install updates automatically")));
    EXPECT_TRUE(updates.harness.shows(
        QStringLiteral("When an update is published, download, check and install it without asking.")));
    EXPECT_TRUE(updates.harness.shows(QStringLiteral("1.2.0 to 1.8.0")));
    EXPECT_TRUE(updates.harness.shows(app->property("lastCheckedText").toString()));
    EXPECT_TRUE(updates.enabled(QStringLiteral("Update All")));
    EXPECT_FALSE(updates.harness.shows(QStringLiteral("Everything you installed is up to date.")));
    EXPECT_TRUE(updates.harness.shows(QStringLiteral("Installed")));
    EXPECT_EQ(rows(updates, "installedList"), 2);
    updates.saveBoth(QStringLiteral("yours-updates"));

    EXPECT_FALSE(app->autoUpdate());
    updates.click(QStringLiteral("Install updates automatically"));
    EXPECT_TRUE(app->autoUpdate());
    app->setAutoUpdate(false);
    updates.harness.settle();
    EXPECT_FALSE(
        updates.harness.findByName(QStringLiteral("Install updates automatically"))->property("checked").toBool());
}

TEST_F(YoursScreensLive, WithNothingToUpdateUpdatesSaysEverythingIsUpToDate) {
    recordInstalled(*app, "tidal-delay", "Tidal Delay", "1.8.0");
    test::await(app->refreshAll());
    Screen updates(QStringLiteral("UpdatesView.qml"), *app);
    EXPECT_TRUE(updates.harness.shows(QStringLiteral("Everything you installed is up to date.")));
    EXPECT_FALSE(updates.enabled(QStringLiteral("Update All")));
}

TEST_F(YoursScreensLive, DownloadsShowEachStageNewestFirstWithTheButtonsItAllows) {
    Screen downloads(QStringLiteral("DownloadsView.qml"), *app);
    fault("mode=stall&count=1");
    app->install(QStringLiteral("grain-field"));
    ASSERT_TRUE(test::runUntil([&] { return jobOf("grain-field")->received() > 0; }));
    downloads.harness.settle();
    EXPECT_TRUE(downloads.harness.shows(QStringLiteral("Downloading")));
    EXPECT_TRUE(downloads.showsTextContaining(QStringLiteral(" of ")));
    EXPECT_TRUE(downloads.harness.shows(QStringLiteral("Pause")));
    EXPECT_FALSE(downloads.harness.shows(QStringLiteral("Resume")));
    downloads.saveBoth(QStringLiteral("yours-downloads-running"));

    downloads.click(QStringLiteral("Pause"));
    ASSERT_TRUE(test::runUntil([&] { return settled("grain-field"); }));
    downloads.harness.settle();
    EXPECT_TRUE(downloads.harness.shows(QStringLiteral("Paused")));
    EXPECT_FALSE(downloads.harness.shows(QStringLiteral("Pause")));
    fault("mode=none");
    downloads.click(QStringLiteral("Resume"));
    ASSERT_TRUE(test::runUntil([&] { return settled("grain-field"); }));
    EXPECT_EQ(jobOf("grain-field")->stageKind(), InstallJob::Stage::installed);

    app->install(QStringLiteral("tidal-delay"), true);
    ASSERT_TRUE(test::runUntil([&] { return settled("tidal-delay"); }));
    downloads.harness.settle();
    EXPECT_TRUE(downloads.harness.shows(QStringLiteral("Done")));
    EXPECT_TRUE(downloads.harness.shows(QStringLiteral("Check only")));
    auto* list = downloads.child("jobList");
    ASSERT_EQ(list->property("count").toInt(), 2);
    QQuickItem* top = nullptr;
    QMetaObject::invokeMethod(list, "itemAtIndex", Q_RETURN_ARG(QQuickItem*, top), Q_ARG(int, 0));
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->property("productId").toString().toStdString(), "tidal-delay") << "the newest job comes first";
    downloads.saveBoth(QStringLiteral("yours-downloads-done"));

    downloads.click(QStringLiteral("Clear Finished"));
    EXPECT_EQ(app->jobs()->rowCount(), 0);
    EXPECT_TRUE(downloads.harness.shows(QStringLiteral("No downloads")));
}

TEST_F(YoursScreensLive, AFailedJobShowsItsReasonAndRetries) {
    Screen downloads(QStringLiteral("DownloadsView.qml"), *app);
    {
        InstallLock updater(folders.dir / "data");
        ASSERT_TRUE(updater.tryLock()) << "as the background updater holds it";
        app->install(QStringLiteral("meter-one"));
        ASSERT_TRUE(test::runUntil([&] { return settled("meter-one"); }));
        downloads.harness.settle();
        EXPECT_TRUE(downloads.harness.shows(JobQueue::lockedMessage));
        EXPECT_TRUE(downloads.harness.shows(QStringLiteral("Retry")));
        EXPECT_FALSE(downloads.harness.shows(QStringLiteral("Done")));
        downloads.saveBoth(QStringLiteral("yours-downloads-failed"));
    }
    downloads.click(QStringLiteral("Retry"));
    ASSERT_TRUE(test::runUntil([&] { return settled("meter-one"); }));
    EXPECT_EQ(jobOf("meter-one")->stageKind(), InstallJob::Stage::installed);
    downloads.harness.settle();
    EXPECT_FALSE(downloads.harness.shows(QStringLiteral("Retry")));
}

TEST_F(YoursScreensLive, TheWishlistCountsItsProductsAndPutsThemAllInTheCart) {
    app->wishlist()->toggle(QStringLiteral("aurora-verb"));
    app->wishlist()->toggle(QStringLiteral("pulse-gate"));
    Screen wishlist(QStringLiteral("WishlistView.qml"), *app);
    EXPECT_TRUE(wishlist.harness.shows(QStringLiteral("2 saved")));
    EXPECT_EQ(rows(wishlist, "wishlistGrid"), 2);
    EXPECT_FALSE(wishlist.harness.shows(QStringLiteral("Your wishlist is empty")));
    wishlist.saveBoth(QStringLiteral("yours-wishlist"));
    wishlist.click(QStringLiteral("Add all 2 to cart"));
    EXPECT_EQ(app->property("cartCount").toInt(), 2);
}

TEST(YoursScreensOstrelIDOnly, TheLibraryAsksToConnectTheStoreAccountTheDownloadsComeFrom) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    demo::LoggingDemo demo;
    HubFolders folders;
    AppModel app(folders.environmentFor(demo.config, demo.services.codeSigningRoot()));
    demo.signIn(app.services().ostrelID, "demo@ostrel.test");
    test::await(app.refreshAll());
    ASSERT_TRUE(app.ostrelSignedIn());
    ASSERT_FALSE(app.storeConnected());

    Screen library(QStringLiteral("LibraryView.qml"), app);
    library.expectClean("signed in to Ostrel ID only");
    EXPECT_FALSE(library.harness.shows(QStringLiteral("Sign in to see your library")));
    EXPECT_TRUE(library.harness.shows(QStringLiteral("Connect your store account to install")));
    EXPECT_TRUE(library.harness.shows(
        QStringLiteral("Sign in with the email you bought with. You only do this once on this Mac.")));
    library.saveBoth(QStringLiteral("yours-library-ostrel-id-only"));
    library.click(QStringLiteral("Connect"));
    EXPECT_TRUE(app.showSignIn());
}

} // namespace
} // namespace ostrel::hub
