#pragma once

#include "Model/CheckoutTiming.h"
#include "Services/Order.h"
#include "Services/ServiceConfig.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

namespace ostrel::hub {

// One purchase under way at the store's payment page. It names itself by the order id the hub
// chose.
struct CheckoutSession {
    QString orderId;
    QUrl url;       // the store's payment page for the order
    QUrl returnURL; // where the payment flow goes when it is done; never loaded
    QStringList productNames;
    QStringList productIds;
    bool clearsCart = false; // a cart checkout empties the cart once paid; a direct purchase does not

    bool operator==(const CheckoutSession&) const = default;

    // "https://<web host>/hub/checkout-complete?order=<order id>".
    static QUrl returnURLFor(const QString& webHost, const QString& orderId);
};

// The words of the checkout sheet's status line for the order's last known status.
QString checkoutStatusLine(std::optional<OrderStatus> status, bool returned);

// The checkout sheet's side of the model: the session while the sheet is shown, and the poll of
// the order's status that runs as long as the sheet is open. The poll asks less often while
// the payment page is still in use, more often once it has returned, and gives up after a
// bounded number of questions (the purchase still shows after the next refresh).
class Checkout : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool active READ active NOTIFY sessionChanged)
    Q_PROPERTY(QUrl url READ url NOTIFY sessionChanged)
    Q_PROPERTY(QUrl returnUrl READ returnUrl NOTIFY sessionChanged)
    Q_PROPERTY(QString productNames READ productNames NOTIFY sessionChanged)
    Q_PROPERTY(QString statusLine READ statusLine NOTIFY statusChanged)
    Q_PROPERTY(bool returned READ returned NOTIFY statusChanged)
    Q_PROPERTY(bool polling READ polling NOTIFY statusChanged)
    // What the payment view needs to know about the services: "topLevelHosts",
    // "paymentDomains", "authorities" (a CA bundle file, "" for the system's) and "connectTo"
    // (host → "address:port" to connect to instead).
    Q_PROPERTY(QVariantMap webRules READ webRules CONSTANT)
    // How long the payment page may take to load (ms), and whether it did not load in time.
    Q_PROPERTY(int pageLoadTimeout READ pageLoadTimeout CONSTANT)
    Q_PROPERTY(bool unreachable READ unreachable NOTIFY statusChanged)

public:
    using Timing = CheckoutTiming;
    struct Hooks {
        // The store's answer for an order; blocking, called off the GUI thread.
        std::function<Order(const std::string& orderId)> fetchOrder;
        // The order has settled; called on the GUI thread with the session still set.
        std::function<void(const CheckoutSession&, const Order&)> settled;
    };

    Checkout(const ServiceConfig& config, Timing timing, Hooks hooks, QObject* parent = nullptr);
    ~Checkout() override;

    const std::optional<CheckoutSession>& session() const { return session_; }
    // Shows the sheet for the session and starts polling its order.
    void begin(CheckoutSession session);
    // The sheet closes; the poll stops.
    Q_INVOKABLE void close();
    // The payment page reached the return address.
    Q_INVOKABLE void markReturned();
    // The payment page did not load within pageLoadTimeout; a new attempt clears it.
    Q_INVOKABLE void markUnreachable(bool unreachable);
    // The payment view refused to open an address (for the log).
    Q_INVOKABLE void noteRefused(const QUrl& url) const;

    bool active() const { return session_.has_value(); }
    QUrl url() const { return session_ ? session_->url : QUrl(); }
    QUrl returnUrl() const { return session_ ? session_->returnURL : QUrl(); }
    QString productNames() const { return session_ ? session_->productNames.join(QStringLiteral(", ")) : QString(); }
    QString statusLine() const { return checkoutStatusLine(status_, returned_); }
    std::optional<OrderStatus> status() const { return status_; }
    bool returned() const { return returned_; }
    bool polling() const { return polling_; }
    // Questions asked of the store in the current session.
    int polls() const { return polls_; }
    QVariantMap webRules() const { return webRules_; }
    int pageLoadTimeout() const { return static_cast<int>(timing_.pageLoad.count()); }
    bool unreachable() const { return unreachable_; }

signals:
    void sessionChanged();
    void statusChanged();

private:
    QCoro::Task<void> poll(CheckoutSession session, std::stop_token stop);
    void stopPolling();

    Timing timing_;
    Hooks hooks_;
    QVariantMap webRules_;
    std::optional<CheckoutSession> session_;
    std::optional<OrderStatus> status_;
    bool returned_ = false;
    bool unreachable_ = false;
    bool polling_ = false;
    int polls_ = 0;
    std::stop_source pollStop_;
};

} // namespace ostrel::hub
