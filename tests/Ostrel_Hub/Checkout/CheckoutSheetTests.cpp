// The checkout sheet with the real web engine, off-screen. The engine is the plugin the sheet
// imports; this program never links it, so it shows in the process only once the sheet opens.
// One run pays on the demo store's page and reaches the return address; the others point the
// sheet at a local socket that accepts and never answers: an address the policy refuses never
// reaches it, an allowed one does and the sheet gives up at the page-load bound.
#include "DemoHub.h"
#include "EventLoop.h"
#include "Model/AppModel.h"
#include "PaymentCards.h"
#include "PrivateSessionBus.h"
#include "ScreenHarness.h"
#include "SharedDemoTest.h"

#include <QFile>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUuid>
#include <memory>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

using test_support::HubFolders;

bool webEngineMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    return maps.readAll().contains("libQt6WebEngine");
}

// Accepts every connection and says nothing, so a page asked of it never arrives.
struct SilentServer {
    QTcpServer server;
    std::vector<std::unique_ptr<QTcpSocket>> held;

    SilentServer() {
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (auto* socket = server.nextPendingConnection())
                held.emplace_back(socket);
        });
        server.listen(QHostAddress::LocalHost);
    }
    QUrl url(const QString& scheme, const QString& host) const {
        QUrl url;
        url.setScheme(scheme);
        url.setHost(host);
        url.setPort(server.serverPort());
        url.setPath(QStringLiteral("/checkout/silent"));
        return url;
    }
};

// One demo store for the program: the web engine learns where its hosts are once, when it starts.
struct CheckoutSheetTest : demo::SharedDemoTest<CheckoutSheetTest> {
    HubFolders hub;

    std::unique_ptr<AppModel> model(const ServiceConfig& config, CheckoutTiming timing) {
        auto environment = hub.environmentFor(config, demo.services.codeSigningRoot());
        environment.checkoutTiming = timing;
        return std::make_unique<AppModel>(std::move(environment));
    }
    // The web view, wherever the sheet is (the window's own tree or a popup's).
    static QQuickItem* paymentPage(test::ScreenHarness& screens) {
        QQuickItem* page = nullptr;
        test::runUntil([&] { return (page = named(screens.window().contentItem(), "paymentPage")) != nullptr; });
        return page;
    }
    static QQuickItem* named(QQuickItem* item, const char* name) {
        if (item->objectName() == QLatin1String(name))
            return item;
        for (auto* child : item->childItems())
            if (auto* found = named(child, name))
                return found;
        return nullptr;
    }
    // The sheet on its own, before any session: its guard is there to be watched.
    static QQuickItem* openSheet(test::ScreenHarness& screens, AppModel& app) {
        return screens.load(QStringLiteral("CheckoutView.qml"), {{QStringLiteral("hub"), QVariant::fromValue(&app)}},
                            {960, 860});
    }
    static void begin(AppModel& app, const QUrl& url) {
        const auto orderId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        app.checkout()->begin(CheckoutSession{
            .orderId = orderId,
            .url = url,
            .returnURL = CheckoutSession::returnURLFor(QStringLiteral("ostrel.localhost"), orderId),
            .productNames = {QStringLiteral("Velvet Comp")},
            .productIds = {QStringLiteral("velvet-comp")},
            .clearsCart = false,
        });
    }
};

TEST_F(CheckoutSheetTest, TheEngineLoadsWithTheSheetAndThePaymentEndsAtTheReturnAddress) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    auto app = model(demo.config, {.afterReturn = std::chrono::milliseconds(5),
                                   .whilePaying = std::chrono::hours(1),
                                   .maxPolls = 100'000,
                                   .pageLoad = CheckoutTiming::pageLoadLimit});
    test::await(app->start());
    test::ScreenHarness screens;
    ASSERT_NE(screens.load(QStringLiteral("RootView.qml"), {{QStringLiteral("hub"), QVariant::fromValue(app.get())}},
                           {1200, 860}),
              nullptr);
    screens.settle(200);
    ASSERT_TRUE(screens.shows(QStringLiteral("Discover")));
    EXPECT_FALSE(webEngineMapped()) << "the web engine loaded with the main window";

    app->buyNow(QStringLiteral("velvet-comp"));
    ASSERT_TRUE(test::runUntil([&] { return app->checkout()->active(); }));
    auto* page = paymentPage(screens);
    ASSERT_NE(page, nullptr) << screens.warnings().join(u'\n').toStdString();
    EXPECT_TRUE(webEngineMapped());
    // The store's host as the hub names it, reached at the demo's own port.
    ASSERT_TRUE(test::runUntil([&] { return page->property("title").toString() == QLatin1String("Checkout"); }))
        << page->property("title").toString().toStdString();
    EXPECT_TRUE(test::runUntil([&] { return screens.shows(QString::fromStdString(demo.config.storeApiHost)); }));
    EXPECT_FALSE(screens.shows(QStringLiteral("Could not reach the Ostrel store.")));
    ASSERT_TRUE(test::runUntil([&] { return screens.findByName(QStringLiteral("Secure")) != nullptr; }))
        << "the padlock did not close on the finished https page";

    QMetaObject::invokeMethod(
        page, "runJavaScript",
        Q_ARG(QString, QStringLiteral("const form = document.getElementById('card-form');"
                                      "form.card.value = '%1'; form.expiry.value = '12/30'; form.cvc.value = '123';"
                                      "form.requestSubmit(document.getElementById('pay'));")
                           .arg(QString::fromLatin1(demo::PaymentCards::paying))));
    // The store is asked about the order only every hour while the user pays: the sheet hears
    // of the return from its web view, nowhere else.
    ASSERT_TRUE(test::runUntil([&] { return app->checkout()->returned(); })) << "the return address was not reached";
    EXPECT_EQ(app->checkout()->statusLine(), QStringLiteral("Confirming"));
}

TEST_F(CheckoutSheetTest, ARefusedAddressIsNeverAskedForAndASilentStoreEndsAtThePageLoadBound) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    SilentServer silent;
    ASSERT_TRUE(silent.server.isListening());
    // The store's checkout host is the silent socket's address; its routes stay the demo's.
    auto config = demo.config;
    config.storeApiHost = "127.0.0.1";
    auto app = model(config, {.whilePaying = std::chrono::hours(1), .pageLoad = std::chrono::milliseconds(300)});

    for (const auto& refused : {silent.url(QStringLiteral("http"), QStringLiteral("127.0.0.1")),
                                silent.url(QStringLiteral("https"), QStringLiteral("localhost"))}) {
        test::ScreenHarness screens;
        auto* sheet = openSheet(screens, *app);
        ASSERT_NE(sheet, nullptr) << screens.warnings().join(u'\n').toStdString();
        auto* guard = sheet->findChild<QObject*>(QStringLiteral("checkoutGuard"));
        ASSERT_NE(guard, nullptr);
        QSignalSpy refusals(guard, SIGNAL(refused(QUrl)));
        begin(*app, refused);
        ASSERT_NE(paymentPage(screens), nullptr);
        ASSERT_TRUE(test::runUntil([&] { return !refusals.isEmpty(); })) << refused.toString().toStdString();
        EXPECT_EQ(refusals.front().front().toUrl(), refused);
        test::runUntil([&] { return app->checkout()->unreachable(); });
        EXPECT_TRUE(silent.held.empty()) << refused.toString().toStdString() << " was asked for";
        app->checkout()->close();
    }

    test::ScreenHarness screens;
    ASSERT_NE(openSheet(screens, *app), nullptr);
    begin(*app, silent.url(QStringLiteral("https"), QStringLiteral("127.0.0.1")));
    ASSERT_TRUE(test::runUntil([&] { return !silent.held.empty(); })) << "the allowed page was not asked for";
    EXPECT_FALSE(screens.shows(QStringLiteral("Could not reach the Ostrel store.")));
    // An https address that has not answered yet is not shown as safe.
    EXPECT_NE(screens.findByName(QStringLiteral("Not secure")), nullptr);
    EXPECT_EQ(screens.findByName(QStringLiteral("Secure")), nullptr);
    ASSERT_TRUE(test::runUntil([&] { return screens.shows(QStringLiteral("Could not reach the Ostrel store.")); }));
    EXPECT_TRUE(app->checkout()->unreachable());
    EXPECT_TRUE(screens.shows(QStringLiteral("Store unavailable")));
    EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
    EXPECT_TRUE(screens.unnamedInteractiveItems().isEmpty());

    // Another try asks again and waits the bound again.
    const auto asked = silent.held.size();
    screens.click(screens.findByName(QStringLiteral("Try Again")));
    EXPECT_FALSE(app->checkout()->unreachable());
    ASSERT_TRUE(test::runUntil([&] { return silent.held.size() > asked; }));
    ASSERT_TRUE(test::runUntil([&] { return app->checkout()->unreachable(); }));
}

} // namespace
} // namespace ostrel::hub
