#pragma once

#include "Checkout/CheckoutInterceptor.h"

#include <QObject>
#include <QQuickWebEngineProfile>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <QWebEngineCertificateError>
#include <memory>

#include <QtQml/qqmlregistration.h>

namespace ostrel::hub {

// The payment view's guard, made by the checkout sheet when it opens: a private profile (no
// cookies, storage or cache outlive the sheet, downloads refused) whose every page and frame
// passes the checkout policy, the pop-up decision, and the certificate decision for services
// whose authority the configuration names. The profile, and with it the web engine, is made
// once the rules are known: the engine reaches the configured hosts where the hub's own
// connections do, which it must learn before it starts.
class CheckoutGuard : public QObject {
    Q_OBJECT
    QML_ELEMENT
    // The checkout's web rules (Checkout::webRules) and the session's return address.
    Q_PROPERTY(QVariantMap rules READ rules WRITE setRules NOTIFY rulesChanged)
    Q_PROPERTY(QUrl returnUrl READ returnUrl WRITE setReturnUrl NOTIFY rulesChanged)
    // Null until the rules are set.
    Q_PROPERTY(QQuickWebEngineProfile* profile READ profile NOTIFY profileChanged)
    Q_PROPERTY(bool insecureContent READ insecureContent NOTIFY insecureContentChanged)

public:
    explicit CheckoutGuard(QObject* parent = nullptr);
    ~CheckoutGuard() override;

    QVariantMap rules() const { return rules_; }
    void setRules(const QVariantMap& rules);
    QUrl returnUrl() const { return returnUrl_; }
    void setReturnUrl(const QUrl& url);
    QQuickWebEngineProfile* profile() const { return profile_.get(); }
    bool insecureContent() const { return interceptor_->sawInsecureContent(); }
    const CheckoutPolicy& policy() const { return interceptor_->policy(); }

    Q_INVOKABLE bool allowsPopup(const QUrl& url) const { return policy().allowsPopup(url); }
    // Accepts the certificate of a page whose chain leads to a configured authority; anything
    // else stays refused.
    Q_INVOKABLE void judgeCertificate(QWebEngineCertificateError error) const;
    // What the padlock names: the host, or the whole address when it has none.
    Q_INVOKABLE static QString hostOf(const QUrl& url);
    // https with nothing on the page over plain http.
    Q_INVOKABLE bool isSecure(const QUrl& url) const;

    // Whether to accept a certificate error, given the configuration's authorities bundle.
    static bool accepts(const QWebEngineCertificateError& error, const QString& authorities);
    // Sends the engine's connections for each host of `connectTo` (host → "address:port", as
    // the services' configuration names them) to that address. Takes effect only before the
    // engine's first page in the process; later calls with other routes are logged and ignored.
    static void routeHosts(const QVariantMap& connectTo);
    // The policy the rules and the return address make.
    static CheckoutPolicy policyFor(const QVariantMap& rules, const QUrl& returnUrl);

signals:
    void returned();
    // A page or frame the policy refused, never requested.
    void refused(const QUrl& url);
    void rulesChanged();
    void profileChanged();
    void insecureContentChanged();

private slots:
    void refuseDownloads();

private:
    void applyPolicy();
    void makeProfile();

    QVariantMap rules_;
    QUrl returnUrl_;
    std::unique_ptr<CheckoutInterceptor> interceptor_;
    std::unique_ptr<QQuickWebEngineProfile> profile_;
};

} // namespace ostrel::hub
