// The app model's cart and checkout: lines and prices, pushing the order, and what a settled
// payment changes.
#include "Model/AppModel.h"
#include "Model/PriceText.h"
#include "Model/Worker.h"
#include "Services/MoonbaseError.h"

#include <QLocale>
#include <QPointer>
#include <QUuid>

namespace ostrel::hub {
namespace {

const QString paidWithoutAccountReason =
    QStringLiteral("Sign in with the email you just paid with to download what you bought.");

QString newOrderId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
}

// The order's payment page, when the store sent one the hub may show.
Url checkoutAddress(const Order& order, const HostPolicy& policy) {
    if (!order.checkoutUrl)
        throw MoonbaseError::blockedURL("(no checkout URL)");
    auto url = Url::parse(*order.checkoutUrl);
    if (!url || !policy.allowsAPI(*url))
        throw MoonbaseError::blockedURL(*order.checkoutUrl);
    return *url;
}

} // namespace

void AppModel::setUpCheckout() {
    cart_->setPricing(currency_.toStdString(), PriceText::userLocale());
    auto services = services_;
    Checkout::Hooks hooks{
        .fetchOrder = [services](const std::string& orderId) { return services->client.order(orderId); },
        .settled = [this](const CheckoutSession& session,
                          const Order& order) { checkoutFinished(session, order); }, // runs on its own
    };
    checkout_ = std::make_unique<Checkout>(environment_.config, environment_.checkoutTiming, std::move(hooks), this);
}

void AppModel::addToCart(const StorefrontProduct& product, const std::optional<PricingVariation>& variation) {
    const auto chosen = variation ? variation : product.defaultVariation;
    if (!chosen)
        return;
    cart_->add(CartLine{product, *chosen});
    flash(Banner::Tone::info, QString::fromStdString(product.name) + QStringLiteral(" is in your cart."));
}

QString AppModel::format(double amount, const PricingVariation& variation, const PriceMap& prices) const {
    return PriceText::format(amount, variation, prices, currency_.toStdString(), PriceText::userLocale());
}

void AppModel::checkOutCart() {
    if (cart_->count() > 0)
        beginCheckout(cart_->lines(), true);
}

void AppModel::buyNow(const QString& productId) {
    const auto* product = state_.storeProduct(productId.toStdString());
    if (product && product->defaultVariation)
        beginCheckout({CartLine{*product, *product->defaultVariation}}, false);
}

QCoro::Task<> AppModel::beginCheckout(std::vector<CartLine> lines, bool clearsCart) {
    QPointer self(this);
    CheckoutSession session;
    session.orderId = newOrderId();
    session.clearsCart = clearsCart;
    session.returnURL =
        CheckoutSession::returnURLFor(QString::fromStdString(environment_.config.webDomain), session.orderId);
    std::vector<OrderLineItem> items;
    for (const auto& line : lines) {
        items.push_back(OrderLineItem::product(line.product.id, line.variation.id, 1));
        session.productNames << QString::fromStdString(line.product.name);
        session.productIds << QString::fromStdString(line.product.id);
    }
    auto services = services_;
    const auto orderId = session.orderId.toStdString();
    const auto currency = currency_.toStdString();
    const auto returnURL = session.returnURL.toString().toStdString();
    try {
        auto pushing = onWorker([services, orderId, currency, items, returnURL] {
            return services->client.pushOrder(orderId, currency, items, Url(returnURL));
        });
        const Order order = co_await pushing;
        if (!self)
            co_return;
        session.url = QUrl(QString::fromStdString(checkoutAddress(order, services->config.hostPolicy()).text()));
        checkout_->begin(std::move(session));
    } catch (...) {
        if (self)
            report(std::current_exception());
    }
}

QCoro::Task<> AppModel::checkoutFinished(CheckoutSession session, Order) {
    checkout_->close();
    if (session.clearsCart)
        cart_->clear();
    wishlist_->removeAll(session.productIds);
    flash(Banner::Tone::success, QStringLiteral("Payment received for ") +
                                     session.productNames.join(QStringLiteral(", ")) +
                                     QStringLiteral(". It is in your store account, and the receipt is on its way "
                                                    "by e-mail."));
    if (!storeConnected())
        askForStoreSignIn(paidWithoutAccountReason);
    auto refreshing = refreshAll();
    co_await refreshing;
}

} // namespace ostrel::hub
