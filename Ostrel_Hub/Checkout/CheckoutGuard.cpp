#include "Checkout/CheckoutGuard.h"

#include "Checkout/CertificateTrust.h"

#include <QWebEngineDownloadRequest>
#include <QtGlobal>

namespace ostrel::hub {

CheckoutGuard::CheckoutGuard(QObject* parent) : QObject(parent), interceptor_(std::make_unique<CheckoutInterceptor>()) {
    connect(interceptor_.get(), &CheckoutInterceptor::returned, this, &CheckoutGuard::returned);
    connect(interceptor_.get(), &CheckoutInterceptor::refused, this, &CheckoutGuard::refused);
    connect(interceptor_.get(), &CheckoutInterceptor::insecureContentChanged, this,
            &CheckoutGuard::insecureContentChanged);
}

CheckoutGuard::~CheckoutGuard() {
    if (profile_)
        profile_->setUrlRequestInterceptor(nullptr);
}

void CheckoutGuard::makeProfile() {
    routeHosts(rules_.value(QStringLiteral("connectTo")).toMap());
    profile_ = std::make_unique<QQuickWebEngineProfile>();
    profile_->setOffTheRecord(true);
    profile_->setHttpCacheType(QQuickWebEngineProfile::MemoryHttpCache);
    profile_->setPersistentCookiesPolicy(QQuickWebEngineProfile::NoPersistentCookies);
    profile_->setUrlRequestInterceptor(interceptor_.get());
    // By name: the request's type is private to the engine; the guard needs only the moment.
    connect(profile_.get(), SIGNAL(downloadRequested(QQuickWebEngineDownloadRequest*)), this, SLOT(refuseDownloads()));
    emit profileChanged();
}

void CheckoutGuard::setRules(const QVariantMap& rules) {
    if (rules == rules_)
        return;
    rules_ = rules;
    applyPolicy();
    if (!profile_)
        makeProfile();
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
    if (!profile_)
        return;
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

void CheckoutGuard::routeHosts(const QVariantMap& connectTo) {
    QStringList rules;
    for (auto route = connectTo.begin(); route != connectTo.end(); ++route)
        rules << QStringLiteral("MAP %1 %2").arg(route.key(), route.value().toString());
    static const QStringList first = rules;
    if (rules != first) {
        qWarning("checkout view: the web engine keeps the host routes it started with");
        return;
    }
    static const bool routed = [&] {
        if (rules.isEmpty())
            return false;
        // The engine reads its switches when it starts: the first profile of the process.
        auto flags = qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS");
        flags += QStringLiteral(" --host-resolver-rules=\"%1\"").arg(rules.join(QStringLiteral(", ")));
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed().toUtf8());
        return true;
    }();
    (void)routed;
}

} // namespace ostrel::hub
