#include "Checkout/CheckoutPolicy.h"

#include <algorithm>

namespace ostrel::hub {
namespace {

QStringList lowered(QStringList texts) {
    for (auto& text : texts)
        text = text.toLower();
    return texts;
}

} // namespace

CheckoutPolicy::CheckoutPolicy(QUrl returnUrl, QStringList topLevelHosts, QStringList paymentDomains)
    : returnUrl_(std::move(returnUrl)), topLevelHosts_(lowered(std::move(topLevelHosts))),
      paymentDomains_(lowered(std::move(paymentDomains))) {}

CheckoutPolicy::Decision CheckoutPolicy::decide(const QUrl& url, Kind kind) const {
    if (url.isEmpty() || !url.isValid())
        return Decision::cancel;
    if (isReturn(url))
        return Decision::returned;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("about"))
        return Decision::allow;
    if (scheme != QLatin1String("https"))
        return Decision::cancel;
    if (kind == Kind::subFrame)
        return Decision::allow; // embedded payment frames may load any secure page
    return allowsTopLevel(url) ? Decision::allow : Decision::cancel;
}

bool CheckoutPolicy::isReturn(const QUrl& url) const {
    return !returnUrl_.isEmpty() && url.scheme().compare(returnUrl_.scheme(), Qt::CaseInsensitive) == 0 &&
           url.host().compare(returnUrl_.host(), Qt::CaseInsensitive) == 0 && url.path() == returnUrl_.path();
}

bool CheckoutPolicy::allowsTopLevel(const QUrl& url) const {
    if (url.scheme().toLower() != QLatin1String("https"))
        return false;
    const QString host = url.host().toLower();
    return !host.isEmpty() && (topLevelHosts_.contains(host) || isPaymentHost(host));
}

bool CheckoutPolicy::allowsPopup(const QUrl& url) const {
    return url == QUrl(QStringLiteral("about:blank")) || allowsTopLevel(url);
}

bool CheckoutPolicy::isPaymentHost(const QString& host) const {
    return std::any_of(paymentDomains_.begin(), paymentDomains_.end(),
                       [&](const QString& domain) { return host == domain || host.endsWith(u'.' + domain); });
}

} // namespace ostrel::hub
