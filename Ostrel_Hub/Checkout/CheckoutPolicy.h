#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace ostrel::hub {

// Where the payment view may go. The store's payment page may lead only to the store's own
// checkout host and to the card and wallet services; frames inside it may load any secure page;
// the return address is caught and never loaded; nothing but https (and about:) is followed.
class CheckoutPolicy {
public:
    enum class Kind { mainFrame, subFrame, newWindow };
    enum class Decision { allow, cancel, returned };

    CheckoutPolicy() = default;
    CheckoutPolicy(QUrl returnUrl, QStringList topLevelHosts, QStringList paymentDomains);

    Decision decide(const QUrl& url, Kind kind) const;
    // Same scheme, host and path as the return address; the query does not matter.
    bool isReturn(const QUrl& url) const;
    // A page of its own may open: https on the checkout host or a payment service's domain.
    bool allowsTopLevel(const QUrl& url) const;
    // A window the page asks for may open: an allowed top-level address, or an empty one.
    bool allowsPopup(const QUrl& url) const;

private:
    bool isPaymentHost(const QString& host) const;

    QUrl returnUrl_;
    QStringList topLevelHosts_;  // lower case
    QStringList paymentDomains_; // lower case
};

} // namespace ostrel::hub
