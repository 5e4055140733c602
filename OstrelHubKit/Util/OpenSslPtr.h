#pragma once

#include <memory>

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/ssl.h>
#include <openssl/ts.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace ostrel {

// Owning pointers for the OpenSSL objects we hold, so every one is freed on
// every path. Add a line here when a new kind of object is needed.
template <auto FreeFn>
struct OpenSslDeleter {
    template <typename T>
    void operator()(T* p) const {
        FreeFn(p);
    }
};

template <typename T, auto FreeFn>
using OpenSslPtr = std::unique_ptr<T, OpenSslDeleter<FreeFn>>;

using Asn1ObjectPtr = OpenSslPtr<ASN1_OBJECT, ASN1_OBJECT_free>;
using BioPtr = OpenSslPtr<BIO, BIO_free_all>;
using BignumPtr = OpenSslPtr<BIGNUM, BN_free>;
using CmsPtr = OpenSslPtr<CMS_ContentInfo, CMS_ContentInfo_free>;
using EvpMdCtxPtr = OpenSslPtr<EVP_MD_CTX, EVP_MD_CTX_free>;
using EvpPkeyCtxPtr = OpenSslPtr<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;
using EvpPkeyPtr = OpenSslPtr<EVP_PKEY, EVP_PKEY_free>;
using Pkcs7Ptr = OpenSslPtr<PKCS7, PKCS7_free>;
using SslCtxPtr = OpenSslPtr<SSL_CTX, SSL_CTX_free>;
using TsRespCtxPtr = OpenSslPtr<TS_RESP_CTX, TS_RESP_CTX_free>;
using TsRespPtr = OpenSslPtr<TS_RESP, TS_RESP_free>;
using TsReqPtr = OpenSslPtr<TS_REQ, TS_REQ_free>;
using TsTstInfoPtr = OpenSslPtr<TS_TST_INFO, TS_TST_INFO_free>;
using TsVerifyCtxPtr = OpenSslPtr<TS_VERIFY_CTX, TS_VERIFY_CTX_free>;
using X509AlgorPtr = OpenSslPtr<X509_ALGOR, X509_ALGOR_free>;
using X509Ptr = OpenSslPtr<X509, X509_free>;
using X509CrlPtr = OpenSslPtr<X509_CRL, X509_CRL_free>;
using X509ExtensionPtr = OpenSslPtr<X509_EXTENSION, X509_EXTENSION_free>;
using X509NamePtr = OpenSslPtr<X509_NAME, X509_NAME_free>;
using X509StoreCtxPtr = OpenSslPtr<X509_STORE_CTX, X509_STORE_CTX_free>;
using X509StorePtr = OpenSslPtr<X509_STORE, X509_STORE_free>;

// A stack of certificates that owns them.
struct X509StackDeleter {
    void operator()(STACK_OF(X509) * s) const { sk_X509_pop_free(s, X509_free); }
};
using X509StackPtr = std::unique_ptr<STACK_OF(X509), X509StackDeleter>;

} // namespace ostrel
