#include "Checkout/CheckoutInterceptor.h"

namespace ostrel::hub {

CheckoutInterceptor::CheckoutInterceptor(QObject* parent) : QWebEngineUrlRequestInterceptor(parent) {}

void CheckoutInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info) {
    using Kind = CheckoutPolicy::Kind;
    const auto type = info.resourceType();
    if (type != QWebEngineUrlRequestInfo::ResourceTypeMainFrame &&
        type != QWebEngineUrlRequestInfo::ResourceTypeSubFrame) {
        noteContent(info.requestUrl());
        return;
    }
    if (type == QWebEngineUrlRequestInfo::ResourceTypeMainFrame && insecureContent_) {
        insecureContent_ = false;
        emit insecureContentChanged();
    }
    const Kind kind = type == QWebEngineUrlRequestInfo::ResourceTypeMainFrame ? Kind::mainFrame : Kind::subFrame;
    switch (policy_.decide(info.requestUrl(), kind)) {
    case CheckoutPolicy::Decision::allow:
        return;
    case CheckoutPolicy::Decision::returned:
        info.block(true);
        emit returned();
        return;
    case CheckoutPolicy::Decision::cancel:
        info.block(true);
        emit refused(info.requestUrl());
        return;
    }
}

void CheckoutInterceptor::noteContent(const QUrl& url) {
    if (insecureContent_ || url.scheme().toLower() != QLatin1String("http"))
        return;
    insecureContent_ = true;
    emit insecureContentChanged();
}

} // namespace ostrel::hub
