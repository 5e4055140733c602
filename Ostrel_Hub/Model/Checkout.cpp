#include "Model/Checkout.h"

#include "Model/Worker.h"
#include "Util/Log.h"

#include <QCoroTimer>
#include <QPointer>
#include <QUrlQuery>

namespace ostrel::hub {
namespace {

QStringList listOf(const std::set<std::string>& texts) {
    QStringList list;
    for (const auto& text : texts)
        list << QString::fromStdString(text);
    return list;
}

QVariantMap routesOf(const std::map<std::string, std::string>& connectTo) {
    QVariantMap routes;
    for (const auto& [host, address] : connectTo)
        routes.insert(QString::fromStdString(host), QString::fromStdString(address));
    return routes;
}

// What the payment view may open, the authorities it may trust besides the system's, and where
// the services' hosts really are.
QVariantMap webRulesFor(const ServiceConfig& config) {
    return {
        {QStringLiteral("topLevelHosts"), QStringList{QString::fromStdString(config.storeApiHost)}},
        {QStringLiteral("paymentDomains"), listOf(config.paymentDomains)},
        {QStringLiteral("authorities"),
         config.caBundle ? QString::fromStdString(config.caBundle->string()) : QString()},
        {QStringLiteral("connectTo"), routesOf(config.connectTo)},
    };
}

} // namespace

QUrl CheckoutSession::returnURLFor(const QString& webHost, const QString& orderId) {
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(webHost);
    url.setPath(QStringLiteral("/hub/checkout-complete"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("order"), orderId);
    url.setQuery(query);
    return url;
}

QString checkoutStatusLine(std::optional<OrderStatus> status, bool returned) {
    switch (status.value_or(OrderStatus::unknown)) {
    case OrderStatus::paid:
    case OrderStatus::completed:
        return QStringLiteral("Paid");
    case OrderStatus::failed:
        return QStringLiteral("Payment failed");
    case OrderStatus::paymentProcessing:
        return QStringLiteral("Processing payment");
    case OrderStatus::open:
    case OrderStatus::unknown:
        break;
    }
    return returned ? QStringLiteral("Confirming") : QStringLiteral("Payment by Moonbase");
}

Checkout::Checkout(const ServiceConfig& config, Timing timing, Hooks hooks, QObject* parent)
    : QObject(parent), timing_(timing), hooks_(std::move(hooks)), webRules_(webRulesFor(config)) {}

Checkout::~Checkout() {
    pollStop_.request_stop();
}

void Checkout::begin(CheckoutSession session) {
    stopPolling();
    session_ = std::move(session);
    status_.reset();
    returned_ = false;
    unreachable_ = false;
    polls_ = 0;
    polling_ = true;
    emit sessionChanged();
    emit statusChanged();
    poll(*session_, pollStop_.get_token()); // owned by the sheet: close() stops it
}

void Checkout::close() {
    stopPolling();
    if (!session_)
        return;
    session_.reset();
    status_.reset();
    returned_ = false;
    unreachable_ = false;
    emit sessionChanged();
    emit statusChanged();
}

void Checkout::markReturned() {
    if (!session_ || returned_)
        return;
    returned_ = true;
    emit statusChanged();
}

void Checkout::markUnreachable(bool unreachable) {
    if (!session_ || unreachable_ == unreachable)
        return;
    if (unreachable)
        Log::error(Log::Category::store,
                   "checkout: the payment page did not load in " + std::to_string(timing_.pageLoad.count()) + " ms");
    unreachable_ = unreachable;
    emit statusChanged();
}

void Checkout::noteRefused(const QUrl& url) const {
    Log::info(Log::Category::store, "checkout view: refused " + url.toDisplayString().toStdString());
}

void Checkout::stopPolling() {
    pollStop_.request_stop();
    pollStop_ = std::stop_source();
    if (polling_) {
        polling_ = false;
        emit statusChanged();
    }
}

QCoro::Task<void> Checkout::poll(CheckoutSession session, std::stop_token stop) {
    QPointer self(this);
    const auto fetch = hooks_.fetchOrder;
    const auto orderId = session.orderId.toStdString();
    while (polls_ < timing_.maxPolls) {
        auto sleeping = QCoro::sleepFor(returned_ ? timing_.afterReturn : timing_.whilePaying);
        co_await sleeping;
        if (!self || stop.stop_requested())
            co_return;
        ++polls_;
        std::optional<Order> order;
        try {
            auto asking = onWorker([fetch, orderId] { return fetch(orderId); });
            order = co_await asking;
        } catch (const std::exception& error) {
            // The store may be busy; the next question may get through.
            Log::error(Log::Category::store, std::string("checkout: order status not read: ") + error.what());
        }
        if (!self || stop.stop_requested())
            co_return;
        if (!order)
            continue;
        status_ = order->status;
        emit statusChanged();
        if (isSettled(order->status)) {
            polling_ = false;
            emit statusChanged();
            hooks_.settled(session, *order);
            co_return;
        }
    }
    polling_ = false;
    emit statusChanged();
}

} // namespace ostrel::hub
