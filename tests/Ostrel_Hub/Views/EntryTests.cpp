// The main window's menus and first-content report, the Security pane, and the snapshot run
// against the demo services and against an empty store.
#include "Catalog/SnapshotCache.h"
#include "EventLoop.h"
#include "Install/AppDirectories.h"
#include "Model/AppModel.h"
#include "Model/Beta.h"
#include "Model/LaunchClock.h"
#include "ModelFolders.h"
#include "RunningDemo.h"
#include "ScreenHarness.h"
#include "TempDir.h"
#include "Views/Appearance.h"
#include "Views/Snapshotter.h"

#include <QQmlComponent>
#include <QQuickWindow>
#include <QTest>
#include <cmath>

#include <gmock/gmock.h>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A model that never starts: nothing but what its folders hold.
std::unique_ptr<AppModel> idleModel(const test::TempDir& dir, bool cold = true) {
    auto environment = test::modelEnvironmentIn(dir);
    environment.cold = cold;
    return std::make_unique<AppModel>(std::move(environment));
}

using Screens = test::ScreenHarness;

// The main window as the app makes it, on the harness's engine.
struct MainWindow {
    MainWindow(test::ScreenHarness& harness, AppModel& hub) : screens(harness), model(hub) {}

    test::ScreenHarness& screens;
    AppModel& model;
    std::vector<std::string> printed;
    LaunchClock clock{LaunchClock::Options{.processStart = LaunchClock::bootClockNow(),
                                           .measure = true,
                                           .print = [this](const std::string& line) { printed.push_back(line); },
                                           .quit = [] {}}};
    Beta beta{QStringLiteral("0.1.0"), QStringLiteral("7")};
    std::unique_ptr<QQuickWindow> window = [this] {
        QQmlComponent component(&screens.engine(), QUrl(QStringLiteral("qrc:/Ostrel/Hub/Main.qml")));
        std::unique_ptr<QObject> object(
            component.isReady()
                ? component.createWithInitialProperties({{QStringLiteral("hub"), QVariant::fromValue(&model)},
                                                         {QStringLiteral("launch"), QVariant::fromValue(&clock)},
                                                         {QStringLiteral("beta"), QVariant::fromValue(&beta)}})
                : nullptr);
        std::unique_ptr<QQuickWindow> made(qobject_cast<QQuickWindow*>(object.get()));
        if (made) {
            object.release();
            made->show();
            made->requestActivate();
            test::settle(50ms);
        }
        return made;
    }();

    void press(Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(window.get(), key, modifiers);
        test::settle();
    }
    // The menu entry with this title: its `enabled`, and `triggered` on it.
    QObject* action(const QString& title) const {
        auto* bar = window->property("menuBar").value<QObject*>();
        for (auto* found : bar->findChildren<QObject*>())
            if (found->inherits("QQuickAction") && found->property("text").toString() == title)
                return found;
        return nullptr;
    }
};

// An idle model (cold unless the folder holds a saved catalogue `prepare` writes) in the main window.
struct OnMainWindow {
    explicit OnMainWindow(const std::function<void(const test::TempDir&)>& prepare = {}) {
        if (prepare)
            prepare(dir);
        model = idleModel(dir, !prepare);
        main = std::make_unique<MainWindow>(screens, *model);
    }
    test::TempDir dir;
    std::unique_ptr<AppModel> model;
    Screens screens;
    std::unique_ptr<MainWindow> main;
};

TEST(MainWindow, SectionShortcutsClearTheSearchAndMenusFollowTheModel) {
    OnMainWindow on;
    auto [screens, model, main] = std::tie(on.screens, on.model, *on.main);
    ASSERT_NE(main.window, nullptr) << screens.warnings().join(u'\n').toStdString();
    auto& navigation = *model->navigation();

    navigation.setSelection(HubSection::library);
    navigation.setSearch(QStringLiteral("reverb"));
    main.press(Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(navigation.search(), QString());
    EXPECT_EQ(navigation.selection(), HubSection::discover);
    main.press(Qt::Key_6, Qt::ControlModifier);
    EXPECT_EQ(navigation.selection(), HubSection::downloads);
    main.press(Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(navigation.selection(), HubSection::plugIns);

    // Back, by either shortcut, only while a page is open.
    navigation.setPath({QStringLiteral("a"), QStringLiteral("b")});
    main.press(Qt::Key_BracketLeft, Qt::ControlModifier);
    EXPECT_EQ(navigation.path(), QStringList{QStringLiteral("a")});
    main.press(Qt::Key_Left, Qt::AltModifier);
    EXPECT_TRUE(navigation.path().isEmpty());
    EXPECT_FALSE(main.action(QStringLiteral("Back"))->property("enabled").toBool());

    // Signed out: "Sign In" opens the sheet.
    ASSERT_NE(main.action(QStringLiteral("Sign In")), nullptr);
    EXPECT_EQ(main.action(QStringLiteral("Account")), nullptr);
    main.press(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(model->showSignIn());

    // Nothing to update, and no self-updater yet.
    EXPECT_FALSE(main.action(QStringLiteral("Update All"))->property("enabled").toBool());
    EXPECT_FALSE(main.action(QStringLiteral("Check for Updates..."))->property("enabled").toBool());
    for (const auto* title : {"Refresh", "Search", "Send Beta Feedback...", "Ostrel Hub Website", "Ostrel Support"})
        EXPECT_TRUE(main.action(QString::fromLatin1(title))->property("enabled").toBool()) << title;
    EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
}

TEST(MainWindow, AboutShowsTheBetaVersionAndCredits) {
    OnMainWindow on;
    auto [screens, main] = std::tie(on.screens, *on.main);
    ASSERT_NE(main.window, nullptr);
    QMetaObject::invokeMethod(main.action(QStringLiteral("About Ostrel Hub")), "trigger");
    test::settle(50ms);
    QQuickWindow* about = nullptr;
    for (auto* window : main.window->findChildren<QQuickWindow*>())
        if (window->title() == QStringLiteral("About Ostrel Hub"))
            about = window;
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    QStringList texts;
    std::function<void(QQuickItem*)> collect = [&](QQuickItem* item) {
        if (auto text = item->property("text").toString(); !text.isEmpty())
            texts << text;
        for (auto* child : item->childItems())
            collect(child);
    };
    collect(about->contentItem());
    EXPECT_THAT(texts, ::testing::Contains(QStringLiteral("Version 0.1.0 beta (7)")));
    EXPECT_THAT(texts, ::testing::Contains(main.beta.credits()));
    EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
}

TEST(MainWindow, ReportsTheFirstContentFromTheSavedCatalogueOnce) {
    OnMainWindow on([](const test::TempDir& dir) {
        SnapshotCache{AppDirectories::owned(dir / "snapshots")}.save(
            Storefront{.suggestedCurrency = "EUR",
                       .products = {StorefrontProduct{
                           .id = "kept", .name = "Kept", .defaultVariation = PricingVariation{.id = "v"}}}},
            "storefront");
    });
    ASSERT_TRUE(on.model->storefrontIsCached());
    auto& main = *on.main;
    ASSERT_NE(main.window, nullptr);
    ASSERT_TRUE(test::runUntil([&] { return main.clock.reported(); }, 10s));
    main.window->update();
    test::settle(50ms);
    ASSERT_EQ(main.printed.size(), 1u);
    EXPECT_THAT(main.printed.front(), ::testing::MatchesRegex("launch-to-first-content-ms [0-9]+ cache"));
}

TEST(MainWindow, AnEmptyStoreIsNoContentYet) {
    OnMainWindow on;
    auto& main = *on.main;
    ASSERT_NE(main.window, nullptr);
    main.window->update();
    test::settle(100ms);
    EXPECT_FALSE(main.clock.reported());
    EXPECT_TRUE(main.printed.empty());
}

TEST(SecurityPane, StatesTheGuaranteesWithTheHostsInUse) {
    test::TempDir dir;
    auto environment = test::modelEnvironmentIn(dir);
    environment.cold = true;
    environment.config.storeApiHost = "store.example.test";
    environment.config.identityApiHost = "id.example.test";
    AppModel model(std::move(environment));
    Screens screens;
    ASSERT_NE(screens.load(QStringLiteral("SecurityPane.qml"), {{QStringLiteral("hub"), QVariant::fromValue(&model)}},
                           Snapshotter::securitySize),
              nullptr);
    for (const auto* words :
         {"Every install", "Network", "Account and payment", "Updates to this app",
          "Every app and plug-in must carry Ostrel's Developer ID signature. Anything else is refused.",
          "An older release never replaces a newer one.", "HTTPS only, no cookies, no cache, no redirects.",
          "Replaced and removed versions go to the Trash."})
        EXPECT_TRUE(screens.shows(QString::fromLatin1(words))) << words;
    EXPECT_TRUE(screens.shows(QStringLiteral(
        "Store and account traffic goes only to store.example.test and id.example.test, pinned to the certificate "
        "authorities those servers use. A certificate from any other authority is refused.")));
    EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
    EXPECT_TRUE(screens.unnamedInteractiveItems().isEmpty())
        << screens.unnamedInteractiveItems().join(u'\n').toStdString();
}

// Luminance spread of an image: zero for a flat fill.
double variance(const QImage& image) {
    double sum = 0;
    double squares = 0;
    const auto gray = image.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < gray.height(); ++y) {
        const auto* line = gray.constScanLine(y);
        for (int x = 0; x < gray.width(); ++x) {
            sum += line[x];
            squares += double(line[x]) * line[x];
        }
    }
    const double count = double(gray.width()) * gray.height();
    const double mean = sum / count;
    return squares / count - mean * mean;
}

const Snapshotter::Waits quick{.state = 300ms, .productFull = 500ms, .sheet = 100ms, .splash = 100ms};

std::set<std::string> filesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(Snapshots, EveryScreenOfTheDemoStoreAtItsSizeInTheDarkAppearance) {
    demo::RunningDemo demo;
    test::TempDir dir;
    auto environment = test::modelEnvironmentIn(dir);
    environment.config = demo.config;
    environment.codeTrust =
        signature::TrustSettings{.anchors = *signature::TrustAnchors::fromPemFile(demo.services.codeSigningRoot())};
    AppModel model(std::move(environment));
    model.stopUpdateLoop();
    test::await(model.start());
    ASSERT_TRUE(model.extras().has_value());

    // The desktop's light appearance gives way to dark for the images.
    Appearance::force(false);
    Screens screens;
    Snapshotter snapshotter(screens.engine(), model, quick);
    const auto out = dir / "images" / "run";
    test::await(snapshotter.run(out));

    const std::map<std::string, QSize> expected{{"discover.png", Snapshotter::mainSize},
                                                {"product.png", Snapshotter::mainSize},
                                                {"browse.png", Snapshotter::mainSize},
                                                {"apps.png", Snapshotter::mainSize},
                                                {"free.png", Snapshotter::mainSize},
                                                {"free-tools.png", Snapshotter::mainSize},
                                                {"free-tool-page.png", Snapshotter::mainSize},
                                                {"early-access.png", Snapshotter::mainSize},
                                                {"product-shots.png", Snapshotter::mainSize},
                                                {"search.png", Snapshotter::mainSize},
                                                {"checkout.png", Snapshotter::mainSize},
                                                {"product-full.png", Snapshotter::productFullSize},
                                                {"review-sheet.png", Snapshotter::reviewSheetSize},
                                                {"splash-early.png", Snapshotter::splashSize},
                                                {"splash-late.png", Snapshotter::splashSize},
                                                {"security.png", Snapshotter::securitySize},
                                                {"sign-in.png", Snapshotter::signInSize}};
    std::set<std::string> names;
    for (const auto& [name, size] : expected)
        names.insert(name);
    EXPECT_EQ(filesIn(out), names);
    for (const auto& [name, size] : expected) {
        const QImage image(QString::fromStdString((out / name).string()));
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_EQ(image.size(), size) << name;
        // How the splash draws a phase is the splash's own business.
        if (name.starts_with("splash"))
            continue;
        EXPECT_GT(variance(image), 0.1) << name << " is a flat fill";
        EXPECT_LT(qGray(image.pixel(2, image.height() - 3)), 80) << name << " is not dark";
    }
    // The run leaves no search behind it.
    EXPECT_EQ(model.navigation()->search(), QString());
}

TEST(Snapshots, AnEmptyStoreHasNoProductOrExtrasImages) {
    test::TempDir dir;
    auto model = idleModel(dir);
    Screens screens;
    Snapshotter snapshotter(screens.engine(), *model, quick);
    test::await(snapshotter.run(dir / "images"));
    EXPECT_EQ(filesIn(dir / "images"),
              (std::set<std::string>{"discover.png", "product.png", "browse.png", "apps.png", "free.png", "search.png",
                                     "splash-early.png", "splash-late.png", "security.png", "sign-in.png"}));
}

} // namespace
} // namespace ostrel::hub
