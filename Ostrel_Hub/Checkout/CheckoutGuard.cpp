#include "Checkout/CheckoutGuard.h"

#include "Checkout/CertificateTrust.h"

#include <QWebEngineDownloadRequest>

namespace ostrel::hub {

CheckoutGuard::CheckoutGuard(QObject* parent)
    : QObject(parent), interceptor_(std::make_unique<CheckoutInterceptor>()),
      profile_(std::make_unique<QQuickWebEngineProfile>()) {
    profile_->setOffTheRecord(true);
    profile_->setHttpCacheType(QQuickWebEngineProfile::MemoryHttpCache);
    profile_->setPersistentCookiesPolicy(QQuickWebEngineProfile::NoPersistentCookies);
    profile_->setUrlRequestInterceptor(interceptor_.get());
    connect(interceptor_.get(), &CheckoutInterceptor::returned, this, &CheckoutGuard::returned);
    connect(interceptor_.get(), &CheckoutInterceptor::insecureContentChanged, this,
            &CheckoutGuard::insecureContentChanged);
    // By name: the request's type is private to the engine; the guard needs only the moment.
    connect(profile_.get(), SIGNAL(downloadRequested(QQuickWebEngineDownloadRequest*)), this, SLOT(refuseDownloads()));
}

CheckoutGuard::~CheckoutGuard() {
    profile_->setUrlRequestInterceptor(nullptr);
}

void CheckoutGuard::setRules(const QVariantMap& rules) {
    if (rules == rules_)
        return;
    rules_ = rules;
    applyPolicy();
}

void CheckoutGuard::setReturnUrl(const QUrl& url) {
    if (url == returnUrl_)
        return;
    returnUrl_ = url;
    applyPolicy();
}

void CheckoutGuard::applyPolicy() {
    interceptor_->setPolicy(policyFor(rules_, returnUrl_));
    emit rulesChanged();
}

CheckoutPolicy CheckoutGuard::policyFor(const QVariantMap& rules, const QUrl& returnUrl) {
    return CheckoutPolicy(returnUrl, rules.value(QStringLiteral("topLevelHosts")).toStringList(),
                          rules.value(QStringLiteral("paymentDomains")).toStringList());
}

// Whatever asks to be saved is a download, not a page: each one is cancelled as it arrives.
// (The profile owns its download requests.)
void CheckoutGuard::refuseDownloads() {
    for (auto* download : profile_->findChildren<QWebEngineDownloadRequest*>())
        if (download->state() == QWebEngineDownloadRequest::DownloadRequested)
            download->cancel();
}

void CheckoutGuard::judgeCertificate(QWebEngineCertificateError error) const {
    if (accepts(error, rules_.value(QStringLiteral("authorities")).toString()))
        error.acceptCertificate();
}

bool CheckoutGuard::accepts(const QWebEngineCertificateError& error, const QString& authorities) {
    // Only an authority the engine does not know is forgiven; a wrong name, an expired or a
    // revoked certificate never is.
    return error.type() == QWebEngineCertificateError::CertificateAuthorityInvalid &&
           CertificateTrust::leadsToAuthority(error.certificateChain(), error.url().host(), authorities);
}

QString CheckoutGuard::hostOf(const QUrl& url) {
    return url.host().isEmpty() ? url.toDisplayString() : url.host();
}

bool CheckoutGuard::isSecure(const QUrl& url) const {
    return url.scheme().toLower() == QLatin1String("https") && !insecureContent();
}

void CheckoutGuard::prepareEngine(bool withoutSandbox) {
    if (withoutSandbox)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

} // namespace ostrel::hub
