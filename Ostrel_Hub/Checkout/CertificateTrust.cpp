#include "Checkout/CertificateTrust.h"

#include <memory>

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

namespace ostrel::hub::CertificateTrust {
namespace {

struct StoreFree {
    void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};
struct ContextFree {
    void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
};
struct StackFree {
    void operator()(STACK_OF(X509) * stack) const { sk_X509_pop_free(stack, X509_free); }
};

X509* parsed(const QSslCertificate& certificate) {
    const QByteArray der = certificate.toDer();
    const auto* bytes = reinterpret_cast<const unsigned char*>(der.constData());
    return d2i_X509(nullptr, &bytes, der.size());
}

} // namespace

bool leadsToAuthority(const QList<QSslCertificate>& chain, const QString& host, const QString& authorities) {
    if (chain.isEmpty() || authorities.isEmpty())
        return false;
    const auto anchors = QSslCertificate::fromPath(authorities, QSsl::Pem);
    if (anchors.isEmpty())
        return false;
    std::unique_ptr<X509_STORE, StoreFree> store(X509_STORE_new());
    for (const auto& anchor : anchors)
        if (X509* certificate = parsed(anchor)) {
            X509_STORE_add_cert(store.get(), certificate);
            X509_free(certificate);
        }
    std::unique_ptr<STACK_OF(X509), StackFree> presented(sk_X509_new_null());
    for (const auto& certificate : chain)
        if (X509* copy = parsed(certificate))
            sk_X509_push(presented.get(), copy);
    if (sk_X509_num(presented.get()) != chain.size())
        return false;
    std::unique_ptr<X509_STORE_CTX, ContextFree> context(X509_STORE_CTX_new());
    if (X509_STORE_CTX_init(context.get(), store.get(), sk_X509_value(presented.get(), 0), presented.get()) != 1)
        return false;
    const QByteArray name = host.toLatin1();
    X509_VERIFY_PARAM_set1_host(X509_STORE_CTX_get0_param(context.get()), name.constData(),
                                static_cast<size_t>(name.size()));
    return X509_verify_cert(context.get()) == 1;
}

} // namespace ostrel::hub::CertificateTrust
