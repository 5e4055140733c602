#include "Services/CurlTransport.h"

#include "Services/ServiceConfig.h"
#include "Services/TransportError.h"

#include <array>
#include <mutex>
#include <stdexcept>

#include <curl/curl.h>
#include <openssl/ssl.h>

// How threads share this transport: libcurl does not support one connection cache used by
// several threads at once, so each call takes an easy handle of its own from a small pool and
// gives it back afterwards. A handle keeps its open connections between calls, so later calls
// reuse them; only one thread uses a handle (and its connections) at a time. A handle goes
// back reset (curl_easy_reset keeps its connections and forgets every option of the call).
//
// Pinning: each new TLS connection gets its own SSL_CTX, into which we install a certificate
// verification function that hands OpenSSL's verification context to PinnedTrust::accepts. A
// reused connection was pinned when it was made. TLS session resumption is off, so every new
// connection sees a full certificate check, and renegotiation is refused, so no check can
// happen after the call that made the connection has returned.

namespace ostrel {

namespace {

constexpr size_t maxIdleHandles = 4;

struct CurlEasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlListPtr = std::unique_ptr<curl_slist, CurlListDeleter>;

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void append(CurlListPtr& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (!grown)
        throw std::bad_alloc();
    (void)list.release();
    list.reset(grown);
}

// What one call needs inside libcurl's callbacks. It lives on the caller's stack for the call.
struct Call {
    const PinnedTrust* trust;
    std::string host;
    HTTPResponse response;
};

// The callbacks below run inside C code, so no exception may leave them: a failure refuses
// the connection or ends the transfer instead.
int verifyWithPins(X509_STORE_CTX* context, void* argument) noexcept {
    const auto* call = static_cast<const Call*>(argument);
    try {
        return call->trust->accepts(context, call->host) ? 1 : 0;
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

size_t collectBody(char* data, size_t size, size_t count, void* argument) noexcept {
    try {
        static_cast<Call*>(argument)->response.body.append(data, size * count);
        return size * count;
    } catch (...) {
        return 0;
    }
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

size_t collectHeader(char* data, size_t size, size_t count, void* argument) noexcept {
    auto& headers = static_cast<Call*>(argument)->response.headers;
    const std::string_view line(data, size * count);
    try {
        if (line.starts_with("HTTP/"))
            headers.clear(); // a new answer begins (after an interim 1xx)
        else if (const auto colon = line.find(':'); colon != std::string_view::npos)
            headers.push_back({trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1))});
        return size * count;
    } catch (...) {
        return 0;
    }
}

bool hasHeader(const HTTPRequest& request, std::string_view name) {
    const HTTPResponse asList{.status = 0, .headers = request.headers, .body = {}};
    return asList.header(name).has_value();
}

// The request's own headers, and nothing of libcurl's: it would add Accept, a form content type
// on bodies and Expect: 100-continue on large ones.
CurlListPtr headerList(const HTTPRequest& request) {
    CurlListPtr list;
    for (const auto& header : request.headers)
        append(list, header.value.empty() ? header.name + ";" : header.name + ": " + header.value);
    for (const char* name : {"Accept", "Content-Type", "Expect"})
        if (!hasHeader(request, name))
            append(list, std::string(name) + ":");
    return list;
}

CurlListPtr connectList(const std::map<std::string, std::string>& connectTo) {
    CurlListPtr list;
    for (const auto& [host, target] : connectTo)
        append(list, host + "::" + target); // any port of that host
    return list;
}

TransportError::Kind kindOf(CURLcode code) {
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

// Sets one option of the call; a libcurl that lacks one cannot make the request safely.
class Setter {
public:
    Setter(CURL* easy, const std::string& host) : easy_(easy), host_(host) {}
    template <typename T>
    void operator()(CURLoption option, T value) const {
        if (const auto code = curl_easy_setopt(easy_, option, value); code != CURLE_OK)
            throw TransportError(TransportError::Kind::failed, host_, curl_easy_strerror(code));
    }

private:
    CURL* easy_;
    const std::string& host_;
};

// A connection that needs no pins keeps the rest of installPinning's rules.
CURLcode refuseRenegotiation(CURL*, void* sslContext, void*) {
    SSL_CTX_set_options(static_cast<SSL_CTX*>(sslContext), SSL_OP_NO_RENEGOTIATION);
    return CURLE_OK;
}

// HTTPS only, straight to the server (or its mapped local address), within the time limit,
// with redirects returned, and with the pin check on every new connection.
void setConnectionRules(const Setter& set, const CurlTransport::Options& options, curl_slist* connectTo, Call& call) {
    set(CURLOPT_PROTOCOLS_STR, "https");
    set(CURLOPT_FOLLOWLOCATION, 0L);
    set(CURLOPT_PROXY, ""); // never a proxy from the environment
    set(CURLOPT_CONNECT_TO, connectTo);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_TIMEOUT_MS, static_cast<long>(options.timeout.count()));
    set(CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, 2L);
    set(CURLOPT_SSL_SESSIONID_CACHE, 0L);
    if (options.caBundle) {
        set(CURLOPT_CAINFO, options.caBundle->c_str());
        set(CURLOPT_CAPATH, static_cast<const char*>(nullptr)); // instead of the system's, not as well
    }
    set(CURLOPT_SSL_CTX_FUNCTION, options.requirePins ? installPinning : refuseRenegotiation);
    set(CURLOPT_SSL_CTX_DATA, static_cast<void*>(&call));
}

void setRequest(const Setter& set, const HTTPRequest& request, const std::string& url, curl_slist* headers) {
    set(CURLOPT_URL, url.c_str());
    set(CURLOPT_HTTPHEADER, headers);
    set(CURLOPT_CUSTOMREQUEST, request.method.c_str());
    if (request.method == "HEAD")
        set(CURLOPT_NOBODY, 1L);
    else if (request.method != "GET" || !request.body.empty()) {
        set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        set(CURLOPT_POSTFIELDS, request.body.data());
    }
}

} // namespace

struct CurlTransport::Handle {
    std::unique_ptr<CURL, CurlEasyDeleter> easy;
};

CurlTransport::Options CurlTransport::Options::from(const ServiceConfig& config) {
    return Options{.caBundle = config.caBundle, .connectTo = config.connectTo};
}

CurlTransport::CurlTransport(PinnedTrust trust) : CurlTransport(std::move(trust), Options{}) {}

CurlTransport::CurlTransport(PinnedTrust trust, Options options)
    : trust_(std::move(trust)), options_(std::move(options)) {
    // libcurl reads a zero limit as none at all.
    if (options_.timeout <= std::chrono::milliseconds::zero())
        throw std::invalid_argument("CurlTransport needs a positive time limit");
    initialiseCurlOnce();
}

CurlTransport::~CurlTransport() = default;

CurlTransport::HandlePtr CurlTransport::takeHandle() {
    {
        std::lock_guard lock(idleLock_);
        if (!idle_.empty()) {
            auto handle = std::move(idle_.back());
            idle_.pop_back();
            return handle;
        }
    }
    auto handle = std::make_unique<Handle>(Handle{std::unique_ptr<CURL, CurlEasyDeleter>(curl_easy_init())});
    if (!handle->easy)
        throw std::bad_alloc();
    return handle;
}

void CurlTransport::returnHandle(HandlePtr handle) {
    // Forget every pointer into the finished call; the open connections stay.
    curl_easy_reset(handle->easy.get());
    std::lock_guard lock(idleLock_);
    if (idle_.size() < maxIdleHandles)
        idle_.push_back(std::move(handle));
}

HTTPResponse CurlTransport::send(const HTTPRequest& request) {
    Call call{.trust = &trust_, .host = request.url.host().value_or(""), .response = {}};
    auto handle = takeHandle();
    CURL* easy = handle->easy.get();
    // Credentials in the address would make libcurl send an Authorization header of its own.
    const auto url = request.url.withoutCredentials().text();
    const auto headers = headerList(request);
    const auto connectTo = connectList(options_.connectTo);
    std::array<char, CURL_ERROR_SIZE> errorText{};
    const Setter set(easy, call.host);
    setConnectionRules(set, options_, connectTo.get(), call);
    setRequest(set, request, url, headers.get());
    if (request.timeout && *request.timeout > std::chrono::milliseconds::zero())
        set(CURLOPT_TIMEOUT_MS, static_cast<long>(request.timeout->count()));
    set(CURLOPT_WRITEFUNCTION, collectBody);
    set(CURLOPT_WRITEDATA, static_cast<void*>(&call));
    set(CURLOPT_HEADERFUNCTION, collectHeader);
    set(CURLOPT_HEADERDATA, static_cast<void*>(&call));
    set(CURLOPT_ERRORBUFFER, errorText.data());

    const CURLcode code = curl_easy_perform(easy);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    returnHandle(std::move(handle));
    if (code != CURLE_OK)
        throw TransportError(kindOf(code), call.host, errorText[0] ? errorText.data() : curl_easy_strerror(code));
    call.response.status = static_cast<int>(status);
    return std::move(call.response);
}

} // namespace ostrel
