// The main window's shell (sidebar, toolbar, banners, splash, search results and the account
// prompt) on an empty model, a model that restored a saved catalogue, and the demo services.
#include "PrivateSessionBus.h"
#include "ScreenHarness.h"
#include "ShellModels.h"

#include <QAccessible>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

using test_models::CachedModel;
using test_models::EmptyModel;
using test_models::LiveModel;

QVariantMap with(AppModel& model) {
    return {{QStringLiteral("hub"), QVariant::fromValue(&model)}};
}

QQuickItem* loadRoot(test::ScreenHarness& screens, AppModel& model) {
    auto* root = screens.load(QStringLiteral("RootView.qml"), with(model));
    screens.settle(200);
    return root;
}

void expectClean(const test::ScreenHarness& screens) {
    EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
    EXPECT_TRUE(screens.unnamedInteractiveItems().isEmpty())
        << screens.unnamedInteractiveItems().join(u'\n').toStdString();
}

bool shownOnScreen(const QQuickItem* item) {
    if (!item)
        return false;
    for (auto* at = item; at; at = at->parentItem())
        if (!at->isVisible() || at->opacity() <= 0.01)
            return false;
    return true;
}

// The visible items under `container` whose accessible name is `name`, in tree order.
QList<QQuickItem*> named(QQuickItem* container, const QString& name) {
    QList<QQuickItem*> found;
    for (auto* item : container->childItems()) {
        if (!item->isVisible() || item->opacity() <= 0.01)
            continue;
        if (auto* iface = QAccessible::queryAccessibleInterface(item); iface && iface->text(QAccessible::Name) == name)
            found << item;
        found << named(item, name);
    }
    return found;
}

// The item of that object name in the visual tree under `container` (list rows included).
QQuickItem* byObjectName(QQuickItem* container, const QString& objectName) {
    for (auto* item : container->childItems()) {
        if (item->objectName() == objectName)
            return item;
        if (auto* found = byObjectName(item, objectName))
            return found;
    }
    return nullptr;
}

QQuickItem* part(const test::ScreenHarness& screens, const char* objectName) {
    return byObjectName(screens.root(), QString::fromLatin1(objectName));
}

// The screen file the detail column shows.
std::string detailScreen(const test::ScreenHarness& screens) {
    return part(screens, "detail")->property("source").toUrl().fileName().toStdString();
}

std::vector<std::string> pathOf(const Navigation& navigation) {
    std::vector<std::string> pages;
    for (const auto& page : navigation.path())
        pages.push_back(page.toStdString());
    return pages;
}

void type(test::ScreenHarness& screens, const QString& text) {
    for (const QChar letter : text)
        QTest::keyClick(&screens.window(), letter.toLatin1());
    screens.settle();
}

// The shell on a model that restored a saved catalogue: the splash is gone at once.
struct ShellOnSavedCatalogue : ::testing::Test {
    CachedModel cached;
    Navigation& navigation = *cached.model->navigation();
    test::ScreenHarness screens;

    void SetUp() override { ASSERT_NE(loadRoot(screens, *cached.model), nullptr); }

    // The page of the one saved product fills the detail column.
    void expectProductPage() {
        EXPECT_EQ(pathOf(navigation), std::vector{CachedModel::productId});
        EXPECT_EQ(detailScreen(screens), "ProductPage.qml");
    }
};

TEST(ShellLoads, WithAnEmptyModelTheSplashCoversTheShellWithoutWarnings) {
    EmptyModel empty;
    test::ScreenHarness screens;
    ASSERT_NE(loadRoot(screens, *empty.model), nullptr);
    expectClean(screens);
    for (const auto* word : {"Discover", "Plug-ins", "Apps", "Free", "Free Tools", "Early Access", "Yours", "Library",
                             "Updates", "Downloads", "Wishlist", "Sign In", "Ostrel ID and store", "Cart", "Refresh"})
        EXPECT_TRUE(screens.shows(QString::fromUtf8(word))) << word;
    EXPECT_FALSE(screens.shows("Back")) << "no page is open";
    EXPECT_FALSE(screens.shows("Account")) << "Account is the footer, not a row";
    // Nothing has loaded and nothing is loading: the splash stays until the hub starts.
    EXPECT_TRUE(shownOnScreen(part(screens, "launchSplash")));
    EXPECT_TRUE(screens.shows("Ostrel Hub"));
}

TEST_F(ShellOnSavedCatalogue, TheSplashLeavesAtOnceAndTheShellLoadsWithoutWarnings) {
    EXPECT_TRUE(test::runUntil([&] { return !shownOnScreen(part(screens, "launchSplash")); }));
    expectClean(screens);
    EXPECT_EQ(detailScreen(screens), "DiscoverView.qml");
}

// The cart's sheet is made only when the toolbar asks for it, then opens over the window and
// Escape closes it.
TEST_F(ShellOnSavedCatalogue, TheCartButtonOpensTheCartSheetAndEscapeClosesIt) {
    EXPECT_FALSE(screens.shows("Your cart is empty."));
    screens.click(screens.findByName("Cart"));
    screens.settle(300);
    EXPECT_TRUE(screens.shows("Your cart is empty."));
    expectClean(screens);
    screens.press(Qt::Key_Escape);
    screens.settle(300);
    EXPECT_FALSE(screens.shows("Your cart is empty."));
    // A second time finds the same sheet.
    screens.click(screens.findByName("Cart"));
    screens.settle(300);
    EXPECT_TRUE(screens.shows("Your cart is empty."));
}

// Navigation notifies without a change (a menu choice of the section on screen, a path set to
// itself): the screen on show stays, rather than being built again.
TEST_F(ShellOnSavedCatalogue, ANotificationWithoutAChangeKeepsTheScreenOnShow) {
    auto* detail = part(screens, "detail");
    ASSERT_NE(detail, nullptr);
    const QPointer shown = detail->property("item").value<QObject*>();
    ASSERT_FALSE(shown.isNull());
    for (const char* signal : {"selectionChanged", "pathChanged", "searchChanged"})
        QMetaObject::invokeMethod(&navigation, signal);
    screens.settle();
    EXPECT_EQ(detail->property("item").value<QObject*>(), shown.data());
    EXPECT_FALSE(shown.isNull());

    // A real change still shows the new screen.
    navigation.setSelection(HubSection::apps);
    EXPECT_TRUE(test::runUntil([&] { return detail->property("item").value<QObject*>() != shown.data(); }));
    EXPECT_EQ(detailScreen(screens), "BrowseView.qml");
}

TEST(ShellLoads, OnTheDemoServicesTheSplashLeavesWhenTheFirstRefreshEnds) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    LiveModel live;
    test::ScreenHarness screens;
    ASSERT_NE(loadRoot(screens, *live.model), nullptr);
    EXPECT_TRUE(shownOnScreen(part(screens, "launchSplash")));
    live.start();
    EXPECT_TRUE(test::runUntil([&] { return !shownOnScreen(part(screens, "launchSplash")); }));
    screens.settle(300);
    expectClean(screens);
    EXPECT_TRUE(
        screens.shows("Welcome to the Ostrel Hub beta. If anything breaks, Help > Send Beta Feedback tells us."));
}

TEST(ShellSplash, AFailedFirstLoadAlsoEndsTheSplash) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    LiveModel live;
    live.demo.services.stop();
    test::ScreenHarness screens;
    ASSERT_NE(loadRoot(screens, *live.model), nullptr);
    live.start();
    EXPECT_FALSE(live.model->hasStorefront());
    EXPECT_TRUE(test::runUntil([&] { return !shownOnScreen(part(screens, "launchSplash")); }));
}

QImage splashAt(double phase, AppModel& model) {
    test::ScreenHarness screens;
    auto properties = with(model);
    if (phase >= 0)
        properties.insert(QStringLiteral("phase"), phase);
    screens.load(QStringLiteral("LaunchSplash.qml"), properties, {1100, 700});
    screens.settle(300);
    EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
    return screens.grab();
}

TEST(ShellSplash, APhaseHoldsOneImageEvenWithContentReadyAndWithoutOneItMoves) {
    CachedModel cached; // content is ready: a live splash would leave
    const auto early = splashAt(0.25, *cached.model);
    EXPECT_EQ(early, splashAt(0.25, *cached.model));
    EXPECT_NE(early, splashAt(0.85, *cached.model));

    EmptyModel empty;
    test::ScreenHarness screens;
    screens.load(QStringLiteral("LaunchSplash.qml"), with(*empty.model), {1100, 700});
    const auto before = screens.grab();
    screens.settle(400);
    EXPECT_NE(before, screens.grab()) << "the mark turns while the hub starts";
}

TEST_F(ShellOnSavedCatalogue, SignedOutTheFooterOpensAPromptWhoseButtonAsksForTheSignInSheet) {
    auto* footer = screens.findByName("Sign In");
    ASSERT_NE(footer, nullptr);
    screens.click(footer);
    EXPECT_EQ(cached.model->navigation()->selection(), HubSection::account);
    screens.settle(200);
    EXPECT_EQ(detailScreen(screens), "AccountView.qml");
    const auto prompt = named(part(screens, "detail"), "Sign In");
    ASSERT_EQ(prompt.size(), 1);
    EXPECT_FALSE(screens.shows("Store account")) << "no account card while signed out";
    screens.click(prompt.front());
    EXPECT_TRUE(cached.model->showSignIn());
    expectClean(screens);
}

TEST_F(ShellOnSavedCatalogue, TypingOverAPageShowsResultsAndClearingTheFieldReturnsToThePage) {
    cached.model->show(QString::fromStdString(CachedModel::productId));
    screens.settle();
    EXPECT_EQ(detailScreen(screens), "ProductPage.qml");
    EXPECT_TRUE(screens.shows("Back"));

    screens.click(part(screens, "searchField"));
    type(screens, "kept");
    EXPECT_EQ(navigation.search().toStdString(), "kept");
    EXPECT_EQ(detailScreen(screens), "SearchResultsView.qml");
    EXPECT_TRUE(screens.shows("Results for \"kept\""));
    EXPECT_TRUE(screens.shows("Store"));
    EXPECT_TRUE(screens.shows("Press Return to open the first match"));
    EXPECT_EQ(named(part(screens, "detail"), QString::fromStdString(CachedModel::productName)).size(), 1);
    EXPECT_FALSE(screens.shows("Nothing in the Ostrel store matches that."));

    screens.press(Qt::Key_Escape);
    screens.settle();
    EXPECT_TRUE(navigation.search().isEmpty());
    expectProductPage();

    // Emptying the field by hand does the same; a search that finds nothing says so.
    type(screens, "zq");
    EXPECT_TRUE(screens.shows("Nothing in the Ostrel store matches that."));
    EXPECT_FALSE(screens.shows("Store"));
    EXPECT_FALSE(screens.shows("Press Return to open the first match"));
    screens.press(Qt::Key_Backspace);
    screens.press(Qt::Key_Backspace);
    screens.settle();
    expectProductPage();
    expectClean(screens);
}

TEST_F(ShellOnSavedCatalogue, ReturnInTheFieldOrAClickOnAResultOpensItsPage) {

    screens.click(part(screens, "searchField"));
    type(screens, "last time");
    screens.press(Qt::Key_Return);
    screens.settle();
    expectProductPage();

    cached.model->goBack();
    type(screens, "kept");
    const auto results = named(part(screens, "detail"), QString::fromStdString(CachedModel::productName));
    ASSERT_EQ(results.size(), 1);
    screens.click(results.front());
    screens.settle();
    EXPECT_TRUE(navigation.search().isEmpty());
    expectProductPage();
    expectClean(screens);
}

TEST_F(ShellOnSavedCatalogue, RowsSelectByClickAndByKeyboardSkippingAccount) {

    auto* apps = screens.findByName("Apps");
    ASSERT_NE(apps, nullptr);
    screens.click(apps);
    EXPECT_EQ(navigation.selection(), HubSection::apps);
    screens.settle();
    EXPECT_EQ(detailScreen(screens), "BrowseView.qml");

    // From the search field the down arrow enters the list, on the selected row.
    screens.click(part(screens, "searchField"));
    screens.press(Qt::Key_Down);
    screens.press(Qt::Key_Down);
    screens.press(Qt::Key_Return);
    EXPECT_EQ(navigation.selection(), HubSection::free);
    for (int step = 0; step < 3; ++step)
        screens.press(Qt::Key_Down);
    screens.press(Qt::Key_Space);
    EXPECT_EQ(navigation.selection(), HubSection::library);
    for (int step = 0; step < 6; ++step)
        screens.press(Qt::Key_Down);
    screens.press(Qt::Key_Return);
    EXPECT_EQ(navigation.selection(), HubSection::wishlist) << "the last row is Wishlist";
    screens.press(Qt::Key_Up);
    screens.press(Qt::Key_Return);
    EXPECT_EQ(navigation.selection(), HubSection::downloads);
    expectClean(screens);
}

// The visible count on a sidebar row, or nothing when its badge is hidden.
std::string badgeOf(const test::ScreenHarness& screens, const char* sectionId) {
    auto* badge = byObjectName(screens.root(), QStringLiteral("badge:") + QString::fromLatin1(sectionId));
    if (!badge || !shownOnScreen(badge))
        return {};
    return QAccessible::queryAccessibleInterface(badge)->text(QAccessible::Name).toStdString();
}

int rowsOf(AppModel& model, const char* list) {
    auto* rows = model.property(list).value<QAbstractItemModel*>();
    return rows ? rows->rowCount() : -1;
}

TEST(ShellSidebar, BadgesFollowTheExtrasTheJobsAndTheWishlist) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    LiveModel live;
    live.signIn();
    test::ScreenHarness screens;
    ASSERT_NE(loadRoot(screens, *live.model), nullptr);
    EXPECT_EQ(badgeOf(screens, "freeTools"), "");
    live.start();
    ASSERT_GT(rowsOf(*live.model, "freeTools"), 0);
    ASSERT_GT(rowsOf(*live.model, "earlyAccess"), 0);
    EXPECT_EQ(badgeOf(screens, "freeTools"), std::to_string(rowsOf(*live.model, "freeTools")));
    EXPECT_EQ(badgeOf(screens, "earlyAccess"), std::to_string(rowsOf(*live.model, "earlyAccess")));

    EXPECT_EQ(badgeOf(screens, "downloads"), "");
    live.model->install("meter-one");
    EXPECT_EQ(badgeOf(screens, "downloads"), "1");
    EXPECT_TRUE(test::runUntil([&] { return live.model->installedVersion("meter-one").size() > 0; }));
    EXPECT_TRUE(test::runUntil([&] { return badgeOf(screens, "downloads").empty(); }))
        << "a finished job leaves the count";

    EXPECT_EQ(badgeOf(screens, "wishlist"), "");
    live.model->toggleWishlist("aurora-verb");
    EXPECT_EQ(badgeOf(screens, "wishlist"), "1");
    live.model->toggleWishlist("aurora-verb");
    EXPECT_EQ(badgeOf(screens, "wishlist"), "");
    expectClean(screens);
}

TEST_F(ShellOnSavedCatalogue, BannersShowTheirToneAndLeaveWhenDismissed) {
    cached.model->flash(Banner::Tone::failure, "The store could not be reached.");
    cached.model->flash(Banner::Tone::success, "Meter One is installed.");
    cached.model->flash(Banner::Tone::info, "A new version is on its way.");
    screens.settle(400);
    auto* failure = screens.findByName("The store could not be reached.");
    auto* success = screens.findByName("Meter One is installed.");
    auto* info = screens.findByName("A new version is on its way.");
    ASSERT_TRUE(failure && success && info);
    EXPECT_EQ(failure->property("toneIcon").toString().toStdString(), "dialog-warning");
    EXPECT_EQ(success->property("toneIcon").toString().toStdString(), "emblem-ok");
    EXPECT_EQ(info->property("toneIcon").toString().toStdString(), "dialog-information");
    EXPECT_LT(failure->mapToScene({}).y(), success->mapToScene({}).y()) << "oldest first";

    const auto dismiss = named(failure, "Dismiss");
    ASSERT_EQ(dismiss.size(), 1);
    screens.click(dismiss.front());
    EXPECT_EQ(cached.model->banners()->count(), 2);
    EXPECT_TRUE(test::runUntil([&] { return !screens.shows("The store could not be reached."); }));
    EXPECT_TRUE(screens.shows("Meter One is installed."));
    expectClean(screens);
}

} // namespace
} // namespace ostrel::hub
