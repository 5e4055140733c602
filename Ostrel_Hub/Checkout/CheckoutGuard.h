#pragma once

#include "Checkout/CheckoutInterceptor.h"

#include <QObject>
#include <QQuickWebEngineProfile>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <QWebEngineCertificateError>
#include <memory>

namespace ostrel::hub {

// The payment view's guard, made by the checkout sheet when it opens: a private profile (no
// cookies, storage or cache outlive the sheet, downloads refused) whose every page and frame
// passes the checkout policy, the pop-up decision, and the certificate decision for services
// whose authority the configuration names. Nothing of the web engine starts before one exists.
class CheckoutGuard : public QObject {
    Q_OBJECT
    // The checkout's web rules (Checkout::webRules) and the session's return address.
    Q_PROPERTY(QVariantMap rules READ rules WRITE setRules NOTIFY rulesChanged)
    Q_PROPERTY(QUrl returnUrl READ returnUrl WRITE setReturnUrl NOTIFY rulesChanged)
    Q_PROPERTY(QQuickWebEngineProfile* profile READ profile CONSTANT)
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
    // Readies the process for its first web page: snapshot runs (which may run as root, where
    // the engine's sandbox cannot start) go without the sandbox. Call before any page exists.
    static void prepareEngine(bool withoutSandbox);
    // The policy the rules and the return address make.
    static CheckoutPolicy policyFor(const QVariantMap& rules, const QUrl& returnUrl);

signals:
    void returned();
    void rulesChanged();
    void insecureContentChanged();

private slots:
    void refuseDownloads();

private:
    void applyPolicy();

    QVariantMap rules_;
    QUrl returnUrl_;
    std::unique_ptr<CheckoutInterceptor> interceptor_;
    std::unique_ptr<QQuickWebEngineProfile> profile_;
};

} // namespace ostrel::hub
