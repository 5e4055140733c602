#include "Services/PinnedCurl.h"

#include "Util/Log.h"

#include <mutex>
#include <new>

#include <openssl/ssl.h>

namespace ostrel::PinnedCurl {
namespace {

// The callbacks run inside C code, so no exception may leave them: a failure refuses the connection.
int verifyWithPins(X509_STORE_CTX* context, void* argument) noexcept {
    const auto* connection = static_cast<const Connection*>(argument);
    try {
        return connection->trust->accepts(context, connection->host) ? 1 : 0;
    } catch (...) {
        X509_STORE_CTX_set_error(context, X509_V_ERR_OUT_OF_MEM);
        return 0;
    }
}

CURLcode installPinning(CURL*, void* sslContext, void* argument) {
    auto* context = static_cast<SSL_CTX*>(sslContext);
    SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
    SSL_CTX_set_cert_verify_callback(context, verifyWithPins, argument);
    return CURLE_OK;
}

// A connection that needs no pins keeps the other rules of installPinning.
CURLcode refuseRenegotiation(CURL*, void* sslContext, void*) {
    SSL_CTX_set_options(static_cast<SSL_CTX*>(sslContext), SSL_OP_NO_RENEGOTIATION);
    return CURLE_OK;
}

} // namespace

EasyPtr newEasy() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    EasyPtr easy(curl_easy_init());
    if (!easy)
        throw std::bad_alloc();
    return easy;
}

void append(ListPtr& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (!grown)
        throw std::bad_alloc();
    (void)list.release();
    list.reset(grown);
}

ListPtr connectList(const std::map<std::string, std::string>& connectTo) {
    ListPtr list;
    for (const auto& [host, target] : connectTo)
        append(list, host + "::" + target); // any port of that host
    return list;
}

void refuseOption(CURLcode code, const std::string& host) {
    Log::error(Log::Category::network, host + ": libcurl refused an option: " + curl_easy_strerror(code));
    throw TransportError(TransportError::Kind::failed, host, curl_easy_strerror(code));
}

void applyRules(CURL* easy, const Routing& routing, curl_slist* connectTo, Connection& connection) {
    const std::string& host = connection.host;
    set(easy, CURLOPT_PROTOCOLS_STR, "https", host);
    set(easy, CURLOPT_FOLLOWLOCATION, 0L, host);
    set(easy, CURLOPT_PROXY, "", host); // never a proxy from the environment
    set(easy, CURLOPT_CONNECT_TO, connectTo, host);
    set(easy, CURLOPT_NOSIGNAL, 1L, host);
    set(easy, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2), host);
    set(easy, CURLOPT_SSL_VERIFYPEER, 1L, host);
    set(easy, CURLOPT_SSL_VERIFYHOST, 2L, host);
    set(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L, host);
    set(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L, host);
    if (routing.caBundle) {
        set(easy, CURLOPT_CAINFO, routing.caBundle->c_str(), host);
        set(easy, CURLOPT_CAPATH, static_cast<const char*>(nullptr), host); // instead of the system's
    }
    set(easy, CURLOPT_SSL_CTX_FUNCTION, connection.trust ? installPinning : refuseRenegotiation, host);
    set(easy, CURLOPT_SSL_CTX_DATA, static_cast<void*>(&connection), host);
}

TransportError::Kind errorKind(CURLcode code) {
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return TransportError::Kind::timedOut;
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return TransportError::Kind::cannotConnect;
    case CURLE_PEER_FAILED_VERIFICATION:
        return TransportError::Kind::notTrusted;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_INITFAILED:
        return TransportError::Kind::secureConnection;
    default:
        return TransportError::Kind::failed;
    }
}

} // namespace ostrel::PinnedCurl
