// One real run of the web engine off-screen: the demo store's payment page loads in a private
// profile behind the checkout interceptor, the card form is filled and sent, and the flow ends
// at the return address, which is caught and never loaded.
#include "Checkout/CheckoutGuard.h"
#include "Checkout/CheckoutInterceptor.h"
#include "EventLoop.h"
#include "PaymentCards.h"
#include "RunningDemo.h"
#include "Services/InMemoryTokenPersistence.h"
#include "Services/MoonbaseClient.h"

#include <QUuid>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

TEST(CheckoutWeb, TheDemoPaymentPageIsPaidInTheEngineAndEndsAtTheReturnAddress) {
    demo::RunningDemo demo;
    InMemoryTokenPersistence tokens;
    MoonbaseClient client(demo.config.hostPolicy(), demo.transport, tokens);
    const auto storefront = client.storefront();
    const auto product = std::find_if(storefront.products.begin(), storefront.products.end(),
                                      [](const StorefrontProduct& p) { return p.id == "velvet-comp"; });
    ASSERT_NE(product, storefront.products.end());
    const auto orderId = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    const QUrl returnUrl("https://ostrel.localhost/hub/checkout-complete?order=" + QString::fromStdString(orderId));
    const auto order =
        client.pushOrder(orderId, "EUR", {OrderLineItem::product(product->id, product->defaultVariation->id, 1)},
                         Url(returnUrl.toString().toStdString()));
    ASSERT_TRUE(order.checkoutUrl);
    // The demo's hosts resolve to this machine by their ".localhost" names; only its port differs.
    QUrl page(QString::fromStdString(*order.checkoutUrl));
    page.setPort(demo.services.port());

    QWebEngineProfile profile; // off the record
    ASSERT_TRUE(profile.isOffTheRecord());
    CheckoutInterceptor interceptor;
    interceptor.setPolicy(
        CheckoutGuard::policyFor({{"topLevelHosts", QStringList{QString::fromStdString(demo.config.storeApiHost)}},
                                  {"paymentDomains", QStringList{"demopay.localhost"}}},
                                 returnUrl));
    profile.setUrlRequestInterceptor(&interceptor);
    bool returned = false;
    QObject::connect(&interceptor, &CheckoutInterceptor::returned, [&] { returned = true; });
    QWebEnginePage view(&profile);
    const auto authorities = QString::fromStdString(demo.config.caBundle->string());
    QObject::connect(&view, &QWebEnginePage::certificateError, [&](const QWebEngineCertificateError& error) {
        auto decision = error;
        if (CheckoutGuard::accepts(decision, authorities))
            decision.acceptCertificate();
    });
    std::optional<bool> loaded;
    QObject::connect(&view, &QWebEnginePage::loadFinished, [&](bool ok) { loaded = ok; });

    view.load(page);
    ASSERT_TRUE(test::runUntil([&] { return loaded.has_value(); })) << "the engine did not start";
    ASSERT_TRUE(*loaded) << "the payment page did not load";
    std::optional<QString> title;
    view.runJavaScript(QStringLiteral("document.querySelector('h1').textContent"),
                       [&](const QVariant& result) { title = result.toString(); });
    ASSERT_TRUE(test::runUntil([&] { return title.has_value(); }));
    EXPECT_EQ(*title, "Ostrel demo checkout");

    view.runJavaScript(QStringLiteral("const form = document.getElementById('card-form');"
                                      "form.card.value = '%1'; form.expiry.value = '12/30'; form.cvc.value = '123';"
                                      "form.requestSubmit(document.getElementById('pay'));")
                           .arg(QString::fromLatin1(demo::PaymentCards::paying)));
    ASSERT_TRUE(test::runUntil([&] { return returned; })) << "the return address was not reached";
    EXPECT_TRUE(isSettled(client.order(orderId).status));
    profile.setUrlRequestInterceptor(nullptr);
}

} // namespace
} // namespace ostrel::hub
