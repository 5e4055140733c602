#pragma once

#include "Checkout/CheckoutPolicy.h"

#include <QWebEngineUrlRequestInterceptor>

namespace ostrel::hub {

// Applies the checkout policy to every page and frame the payment view (and the windows it
// opens) asks for: a refused one is blocked before it leaves the machine, and the return
// address is reported instead of loaded. It also notes plain-http content on the page, which
// makes the page count as not secure.
class CheckoutInterceptor : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT

public:
    explicit CheckoutInterceptor(QObject* parent = nullptr);

    void setPolicy(CheckoutPolicy policy) { policy_ = std::move(policy); }
    const CheckoutPolicy& policy() const { return policy_; }
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
    // Content of the current page came over plain http.
    bool sawInsecureContent() const { return insecureContent_; }

signals:
    void returned();
    void refused(const QUrl& url);
    void insecureContentChanged();

private:
    void noteContent(const QUrl& url);

    CheckoutPolicy policy_;
    bool insecureContent_ = false;
};

} // namespace ostrel::hub
