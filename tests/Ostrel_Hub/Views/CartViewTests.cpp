// The cart sheet and the toolbar's cart button: the sheet loads without a QML warning, names
// every control, says the right words for an empty and a filled cart, removes a line, and
// "Check Out" starts the store's checkout for the whole cart.
#include "EventLoop.h"
#include "Model/AppModel.h"
#include "PrivateSessionBus.h"
#include "ScreenHarness.h"
#include "ShellModels.h"

#include <QQuickItem>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

QString joined(const QStringList& lines) {
    return lines.join(u'\n');
}

struct CartSheet {
    test::ScreenHarness harness;
    QQuickItem* root = nullptr;

    explicit CartSheet(AppModel& model) {
        root = harness.load(QStringLiteral("CartView.qml"), {{QStringLiteral("hub"), QVariant::fromValue(&model)}},
                            {560, 560});
        harness.settle(100);
    }
    void expectClean(const char* which) const {
        ASSERT_NE(root, nullptr) << joined(harness.warnings()).toStdString();
        EXPECT_TRUE(harness.warnings().isEmpty()) << which << ":\n" << joined(harness.warnings()).toStdString();
        EXPECT_TRUE(harness.unnamedInteractiveItems().isEmpty())
            << which << ":\n"
            << joined(harness.unnamedInteractiveItems()).toStdString();
    }
    void click(const QString& name) {
        auto* item = harness.findByName(name);
        ASSERT_NE(item, nullptr) << "no control named " << name.toStdString() << " in\n"
                                 << joined(harness.visibleTexts()).toStdString();
        harness.click(item);
        harness.settle();
    }
};

TEST(CartView, AnEmptyCartSaysSo) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    test_models::EmptyModel empty;
    CartSheet sheet(*empty.model);
    sheet.expectClean("empty");
    EXPECT_TRUE(sheet.harness.shows("Your cart is empty."));
    EXPECT_FALSE(sheet.harness.shows("Check Out"));
    EXPECT_FALSE(sheet.harness.shows("Total before tax"));
}

TEST(CartView, ListsTheLinesWithTheirPricesRemovesOneAndChecksOutTheRest) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    test_models::LiveModel live;
    live.start();
    auto& app = *live.model;
    app.setCurrency("EUR");
    app.addToCart("velvet-comp");
    app.addToCart("prism-eq");
    CartSheet sheet(app);
    sheet.expectClean("filled");
    for (const auto* words :
         {"Cart", "Velvet Comp", "Prism EQ", "Total before tax", "Check Out", "Remove Velvet Comp", "Remove Prism EQ"})
        EXPECT_TRUE(sheet.harness.shows(QString::fromUtf8(words)))
            << words << " in\n"
            << joined(sheet.harness.visibleTexts()).toStdString();
    EXPECT_TRUE(sheet.harness.shows(app.cartTotal())) << app.cartTotal().toStdString();
    EXPECT_TRUE(sheet.harness.shows(app.cart()->price(app.cart()->lines().front())));
    sheet.harness.grab().save(QStringLiteral("/tmp/cart-sheet.png"));

    sheet.click(QStringLiteral("Remove Velvet Comp"));
    EXPECT_EQ(app.cartIds(), QStringList{"prism-eq"});
    EXPECT_FALSE(sheet.harness.shows(QStringLiteral("Velvet Comp")));

    sheet.click(QStringLiteral("Check Out"));
    ASSERT_TRUE(test::runUntil([&] { return app.checkout()->active(); }));
    EXPECT_EQ(app.checkout()->session()->productIds, QStringList{"prism-eq"});
    EXPECT_TRUE(app.checkout()->session()->clearsCart);
}

} // namespace
} // namespace ostrel::hub
