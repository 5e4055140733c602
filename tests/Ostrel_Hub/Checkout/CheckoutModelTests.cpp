// The cart and the checkout in the app model, against the demo store over real HTTPS: the
// payment page is answered by an HTTP client standing in for the web view.
#include "DemoHub.h"
#include "EventLoop.h"
#include "LoggingDemo.h"
#include "Model/AppModel.h"
#include "Model/BannerList.h"
#include "Model/ProductReviews.h"
#include "Model/SignInFlow.h"
#include "PaymentCards.h"
#include "PrivateSessionBus.h"
#include "SharedDemoTest.h"

#include <QAbstractItemModelTester>
#include <QLocale>
#include <QUrlQuery>
#include <algorithm>

#include <gmock/gmock.h>

namespace ostrel::hub {
namespace {

using test_support::HubFolders;
using test_support::idsIn;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

QString lastBanner(const BannerList& banners) {
    return banners.data(banners.index(banners.rowCount() - 1), BannerList::textRole).toString();
}

// The store is asked about an order every few milliseconds, as often as a test needs.
constexpr CheckoutTiming quickPolls{
    .afterReturn = std::chrono::milliseconds(5), .whilePaying = std::chrono::milliseconds(5), .maxPolls = 100'000};

// What the payment page's form sends when the user pays.
void payOnThePage(HTTPTransport& transport, const Checkout& checkout, const std::string& email, const char* card) {
    const auto url = checkout.url().toString().toStdString() + "/pay";
    const auto response = transport.send(HTTPRequest{
        .url = Url(url),
        .method = "POST",
        .headers = {{"Content-Type", "application/x-www-form-urlencoded"}},
        .body = "email=" + QUrl::toPercentEncoding(QString::fromStdString(email)).toStdString() +
                "&card=" + QUrl::toPercentEncoding(card).toStdString() + "&expiry=12%2F30&cvc=123",
    });
    ASSERT_EQ(response.status, 303) << response.body;
    EXPECT_EQ(response.header("Location"), checkout.returnUrl().toString().toStdString());
}

// One demo store for the whole suite: starting it makes its authority and signed releases.
// Every checkout has its own order, and only one test signs in.
struct CheckoutModelTest : demo::SharedDemoTest<CheckoutModelTest> {
    HubFolders hub;
    CheckoutTiming timing = quickPolls;

    void SetUp() override {
        OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    }
    std::unique_ptr<AppModel> model() {
        auto environment = hub.environmentFor(demo.config, demo.services.codeSigningRoot());
        environment.checkoutTiming = timing;
        return std::make_unique<AppModel>(std::move(environment));
    }
    void pay(const Checkout& checkout, const std::string& email, const char* card) {
        payOnThePage(demo.transport, checkout, email, card);
    }
};

TEST_F(CheckoutModelTest, TheCartHoldsEachProductOnceWithItsLastVariationAndTotalsInTheCurrency) {
    auto app = model();
    app->setCurrency("EUR");
    QAbstractItemModelTester tester(app->cart(), QAbstractItemModelTester::FailureReportingMode::Warning);
    const StorefrontProduct alpha{.id = "alpha",
                                  .name = "Alpha",
                                  .defaultVariation =
                                      PricingVariation{.id = "a1", .price = {{"EUR", 10}, {"USD", 12}}}};
    const StorefrontProduct beta{
        .id = "beta", .name = "Beta", .defaultVariation = PricingVariation{.id = "b1", .price = {{"USD", 5}}}};
    const PricingVariation monthly{
        .id = "a2", .price = {{"EUR", 3}}, .recurrence = Recurrence{.type = "Recurring", .cycleLength = "Monthly"}};

    app->addToCart(alpha, std::nullopt);
    EXPECT_EQ(app->cartTotal(), QString::fromUtf8("€10.00"));
    app->addToCart(beta, std::nullopt);
    app->addToCart(alpha, monthly);
    EXPECT_EQ(app->cartIds(), (QStringList{"beta", "alpha"})) << "the product moved to the end, once";
    EXPECT_EQ(app->cart()->lines().back().variation, monthly);
    EXPECT_EQ(lastBanner(*app->banners()), "Alpha is in your cart.");
    // Beta has no euro price: it counts 0, and its own price is shown in its first currency.
    EXPECT_EQ(app->cartTotal(), QString::fromUtf8("€3.00"));
    auto* cart = app->cart();
    EXPECT_EQ(cart->data(cart->index(0), Cart::priceRole).toString(), "$5.00");
    EXPECT_EQ(cart->data(cart->index(1), Cart::priceRole).toString(), QString::fromUtf8("€3.00 / monthly"));
    EXPECT_EQ(cart->data(cart->index(1), Cart::nameRole).toString(), "Alpha");
    app->setCurrency("USD");
    EXPECT_EQ(app->cartTotal(), "$5.00");

    // Without a variation of its own or a default one, nothing is added.
    app->addToCart(StorefrontProduct{.id = "gamma", .name = "Gamma"}, std::nullopt);
    EXPECT_EQ(app->cartCount(), 2);
    app->removeFromCart("beta");
    EXPECT_EQ(app->cartIds(), QStringList{"alpha"});
}

TEST(CheckoutStatus, TheStatusLineFollowsTheOrder) {
    EXPECT_EQ(checkoutStatusLine(std::nullopt, false), "Payment by Moonbase");
    EXPECT_EQ(checkoutStatusLine(OrderStatus::open, false), "Payment by Moonbase");
    EXPECT_EQ(checkoutStatusLine(OrderStatus::open, true), "Confirming");
    EXPECT_EQ(checkoutStatusLine(OrderStatus::unknown, true), "Confirming");
    EXPECT_EQ(checkoutStatusLine(OrderStatus::paymentProcessing, true), "Processing payment");
    EXPECT_EQ(checkoutStatusLine(OrderStatus::paid, false), "Paid");
    EXPECT_EQ(checkoutStatusLine(OrderStatus::completed, true), "Paid");
    EXPECT_EQ(checkoutStatusLine(OrderStatus::failed, true), "Payment failed");
}

TEST_F(CheckoutModelTest, ASettledCartCheckoutEmptiesTheCartTrimsTheWishlistAndLandsInTheLibrary) {
    auto app = model();
    app->services().client.signIn("demo@ostrel.test", "demo");
    test::await(app->refreshAll());
    ASSERT_FALSE(app->owns("velvet-comp"));
    ASSERT_FALSE(app->owns("prism-eq"));
    app->toggleWishlist("velvet-comp");
    app->toggleWishlist("aurora-verb");
    app->addToCart("velvet-comp");
    app->addToCart("prism-eq");

    auto* checkout = app->checkout();
    app->checkOutCart();
    ASSERT_TRUE(test::runUntil([&] { return checkout->active(); }));
    const auto session = *checkout->session();
    EXPECT_EQ(session.url.host(), QString::fromStdString(demo.config.storeApiHost));
    EXPECT_EQ(session.returnURL.toString(), "https://ostrel.localhost/hub/checkout-complete?order=" + session.orderId);
    EXPECT_EQ(session.orderId, session.orderId.toLower());
    EXPECT_EQ(session.productIds, (QStringList{"velvet-comp", "prism-eq"}));
    EXPECT_TRUE(session.clearsCart);
    EXPECT_EQ(checkout->statusLine(), "Payment by Moonbase");
    checkout->markReturned();
    EXPECT_EQ(checkout->statusLine(), "Confirming");

    pay(*checkout, "demo@ostrel.test", demo::PaymentCards::paying);
    ASSERT_TRUE(test::runUntil([&] { return !checkout->active(); }));
    EXPECT_EQ(app->cartCount(), 0);
    EXPECT_EQ(app->wishlist()->ids(), QStringList{"aurora-verb"});
    EXPECT_THAT(lastBanner(*app->banners()).toStdString(), ::testing::StartsWith("Payment received for Velvet Comp, "));
    ASSERT_TRUE(test::runUntil([&] { return !app->loading() && app->owns("velvet-comp"); }));
    EXPECT_TRUE(app->owns("prism-eq"));
    EXPECT_THAT(idsIn(*app->library()), Contains("velvet-comp"));
    EXPECT_FALSE(app->showSignIn()) << "the store account is connected";
}

TEST_F(CheckoutModelTest, ADirectPurchaseWithoutAStoreAccountKeepsTheCartAndAsksToSignIn) {
    auto app = model();
    test::await(app->refreshAll());
    app->addToCart("prism-eq");
    app->performAction("velvet-comp"); // the price button buys the product alone
    auto* checkout = app->checkout();
    ASSERT_TRUE(test::runUntil([&] { return checkout->active(); }));
    EXPECT_FALSE(checkout->session()->clearsCart);
    EXPECT_EQ(checkout->productNames(), "Velvet Comp");

    pay(*checkout, "new-buyer@ostrel.test", demo::PaymentCards::paying);
    ASSERT_TRUE(test::runUntil([&] { return !checkout->active(); }));
    EXPECT_EQ(app->cartIds(), QStringList{"prism-eq"});
    EXPECT_TRUE(app->showSignIn());
    EXPECT_EQ(app->signInPurpose(), AppModel::SignInPurpose::connectStore);
    EXPECT_EQ(app->signInReason(), "Sign in with the email you just paid with to download what you bought.");
}

TEST_F(CheckoutModelTest, AFailedPaymentLeavesTheSheetOpenWithPaymentFailed) {
    auto app = model();
    test::await(app->refreshAll());
    app->addToCart("velvet-comp");
    app->toggleWishlist("velvet-comp");
    auto* checkout = app->checkout();
    app->checkOutCart();
    ASSERT_TRUE(test::runUntil([&] { return checkout->active(); }));

    pay(*checkout, "demo@ostrel.test", demo::PaymentCards::declined);
    ASSERT_TRUE(test::runUntil([&] { return checkout->statusLine() == "Payment failed"; }));
    test::settle(std::chrono::milliseconds(50));
    EXPECT_TRUE(checkout->active());
    EXPECT_TRUE(checkout->polling()) << "a failed order has not settled";
    EXPECT_EQ(app->cartIds(), QStringList{"velvet-comp"});
    EXPECT_EQ(app->wishlist()->ids(), QStringList{"velvet-comp"});
    EXPECT_FALSE(app->owns("velvet-comp"));

    checkout->close();
    EXPECT_FALSE(checkout->active());
    EXPECT_FALSE(checkout->polling());
}

TEST_F(CheckoutModelTest, ThePollAsksAtMostItsLimitOfTimes) {
    timing.maxPolls = 3;
    auto app = model();
    test::await(app->refreshAll());
    auto* checkout = app->checkout();
    app->buyNow("velvet-comp");
    ASSERT_TRUE(test::runUntil([&] { return checkout->active(); }));
    ASSERT_TRUE(test::runUntil([&] { return !checkout->polling(); }));
    EXPECT_EQ(checkout->polls(), 3);
    EXPECT_EQ(checkout->status(), OrderStatus::open) << "every question was answered";
    test::settle(std::chrono::milliseconds(50));
    EXPECT_EQ(checkout->polls(), 3);
    EXPECT_TRUE(checkout->active()) << "the sheet stays until the user closes it";
}

// Someone new to the store, all the way through the model as the screens drive it: a store
// account made in the sign-in sheet, a paid product bought on the payment page, installed from
// the library, and reviewed as a verified purchase once signed in to Ostrel ID by e-mailed code.
struct NewCustomer : ::testing::Test {
    demo::LoggingDemo demo;
    HubFolders hub;

    void SetUp() override { OSTREL_REQUIRE_PRIVATE_SESSION_BUS(); }
};

TEST_F(NewCustomer, SignsUpBuysInstallsAndReviewsAPaidProduct) {
    const QString email = QStringLiteral("nova@ostrel.test");
    const QString product = QStringLiteral("velvet-comp");
    auto environment = hub.environmentFor(demo.config, demo.services.codeSigningRoot());
    environment.checkoutTiming = quickPolls;
    const auto app = std::make_unique<AppModel>(std::move(environment));
    test::await(app->refreshAll());
    auto& flow = *app->signInFlow();

    app->openSignIn(AppModel::SignInPurpose::general);
    flow.submitSignUp(QStringLiteral("Nova Buyer"), email, QStringLiteral("a long passphrase"), false);
    ASSERT_TRUE(test::runUntil([&] { return !flow.busy(); }));
    ASSERT_EQ(flow.storeError(), QString());
    ASSERT_TRUE(app->storeConnected());
    EXPECT_FALSE(app->showSignIn());
    ASSERT_FALSE(app->owns(product));

    app->buyNow(product);
    auto& checkout = *app->checkout();
    ASSERT_TRUE(test::runUntil([&] { return checkout.active(); }));
    payOnThePage(*demo.transport, checkout, email.toStdString(), demo::PaymentCards::paying);
    ASSERT_TRUE(test::runUntil([&] { return !checkout.active(); }));
    ASSERT_TRUE(test::runUntil([&] { return !app->loading() && app->owns(product); }));
    EXPECT_THAT(idsIn(*app->library()), Contains(product.toStdString()));

    app->install(product);
    ASSERT_TRUE(test::runUntil([&] { return !app->installedVersion(product).isEmpty(); }))
        << "the install did not finish";
    EXPECT_EQ(app->installedVersion(product), app->latestVersion(product));

    test::await(flow.requestCode(email));
    test::await(flow.completeCode(email, QString::fromStdString(demo.codeFor(email.toStdString()))));
    ASSERT_TRUE(app->ostrelSignedIn());
    auto& reviews = *app->reviews();
    test::await(reviews.loadReviews(product.toStdString(), false));
    test::await(reviews.loadMyReview(product.toStdString()));
    auto* list = reviews.list(product);
    ASSERT_TRUE(list->eligible()) << "the purchase did not make the new customer a reviewer";
    reviews.write(product);
    auto& form = *reviews.form();
    form.setRating(5);
    form.setTitle(QStringLiteral("Worth it"));
    form.setBody(QStringLiteral("Bought, installed and in use the same afternoon."));
    test::await(form.submit());
    EXPECT_EQ(form.failure(), QString());
    ASSERT_TRUE(list->hasOwnReview());
    EXPECT_EQ(list->ownReview().value(QStringLiteral("verifiedPurchase")), true);
    EXPECT_EQ(list->ownReview().value(QStringLiteral("title")), QStringLiteral("Worth it"));
}

} // namespace
} // namespace ostrel::hub
