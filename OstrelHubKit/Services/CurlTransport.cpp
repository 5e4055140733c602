#include "Services/CurlTransport.h"

#include "Services/PinnedCurl.h"
#include "Services/ServiceConfig.h"
#include "Services/TransportError.h"
#include "Util/Log.h"
#include "Util/Text.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <mutex>
#include <stdexcept>

#include <curl/curl.h>

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

// Why one of our callbacks ended a transfer.
struct Refusal {
    TransportError::Kind kind;
    std::string detail;
};

// What one call needs inside libcurl's callbacks. It lives on the caller's stack for the call.
struct Call {
    PinnedCurl::Connection connection;
    std::string host;
    std::size_t maxBodyBytes;
    bool expectsBody; // false for HEAD, whose announced length has no body behind it
    std::stop_token stop;
    HTTPResponse response = {};
    std::optional<Refusal> refusal = {};
};

// Bytes are counted as libcurl hands them over, after any decoding of its own, so no coding
// can stretch an answer past its limit.
size_t collectBody(char* data, size_t size, size_t count, void* argument) noexcept {
    auto& call = *static_cast<Call*>(argument);
    const size_t length = size * count;
    try {
        if (length > call.maxBodyBytes - call.response.body.size()) {
            call.refusal = Refusal{TransportError::Kind::tooLarge,
                                   "the body grew beyond " + std::to_string(call.maxBodyBytes) + " bytes"};
            return 0;
        }
        call.response.body.append(data, length);
        return length;
    } catch (...) {
        return 0;
    }
}

bool announcesMoreThan(std::string_view length, std::size_t limit) {
    uint64_t announced = 0;
    const auto [end, error] = std::from_chars(length.data(), length.data() + length.size(), announced);
    return error == std::errc::result_out_of_range || (error == std::errc{} && announced > limit);
}

// We never send TE, so "chunked" is the only transfer coding a server may use with us; any
// other would have libcurl inflate a small answer into a huge one.
std::optional<std::string> unrequestedCoding(std::string_view codings) {
    while (!codings.empty()) {
        const auto comma = std::min(codings.find(','), codings.size());
        const auto coding = Text::trimmedAscii(codings.substr(0, comma));
        if (!coding.empty() && !Text::equalsIgnoringAsciiCase(coding, "chunked"))
            return std::string(coding);
        codings.remove_prefix(std::min(comma + 1, codings.size()));
    }
    return std::nullopt;
}

// Refuses an answer by its head, before any of its body is read.
std::optional<Refusal> judgeHeader(const Call& call, std::string_view name, std::string_view value) {
    if (call.expectsBody && Text::equalsIgnoringAsciiCase(name, "Content-Length") &&
        announcesMoreThan(value, call.maxBodyBytes))
        return Refusal{TransportError::Kind::tooLarge, "the answer announced " + std::string(value) +
                                                           " body bytes, more than " +
                                                           std::to_string(call.maxBodyBytes)};
    if (Text::equalsIgnoringAsciiCase(name, "Transfer-Encoding"))
        if (const auto coding = unrequestedCoding(value))
            return Refusal{TransportError::Kind::unacceptable, "the answer used the transfer coding " + *coding};
    return std::nullopt;
}

size_t collectHeader(char* data, size_t size, size_t count, void* argument) noexcept {
    auto& call = *static_cast<Call*>(argument);
    const std::string_view line(data, size * count);
    try {
        if (line.starts_with("HTTP/")) {
            call.response.headers.clear(); // a new answer begins (after an interim 1xx)
        } else if (const auto colon = line.find(':'); colon != std::string_view::npos) {
            const auto name = Text::trimmedAscii(line.substr(0, colon));
            const auto value = Text::trimmedAscii(line.substr(colon + 1));
            if ((call.refusal = judgeHeader(call, name, value)))
                return 0;
            call.response.headers.push_back({std::string(name), std::string(value)});
        }
        return size * count;
    } catch (...) {
        return 0;
    }
}

// libcurl asks this at least once a second while a transfer runs; non-zero ends it.
int checkStop(void* argument, curl_off_t, curl_off_t, curl_off_t, curl_off_t) noexcept {
    return static_cast<const Call*>(argument)->stop.stop_requested() ? 1 : 0;
}

bool hasHeader(const HTTPRequest& request, std::string_view name) {
    const HTTPResponse asList{.status = 0, .headers = request.headers, .body = {}};
    return asList.header(name).has_value();
}

// The request's own headers, and nothing of libcurl's: it would add Accept, a form content type
// on bodies and Expect: 100-continue on large ones.
PinnedCurl::ListPtr headerList(const HTTPRequest& request) {
    PinnedCurl::ListPtr list;
    for (const auto& header : request.headers)
        PinnedCurl::append(list, header.value.empty() ? header.name + ";" : header.name + ": " + header.value);
    for (const char* name : {"Accept", "Content-Type", "Expect"})
        if (!hasHeader(request, name))
            PinnedCurl::append(list, std::string(name) + ":");
    return list;
}

// Sets one option of the call.
class Setter {
public:
    Setter(CURL* easy, const std::string& host) : easy_(easy), host_(host) {}
    template <typename T>
    void operator()(CURLoption option, T value) const {
        PinnedCurl::set(easy_, option, value, host_);
    }

private:
    CURL* easy_;
    const std::string& host_;
};

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

void setCallbacks(const Setter& set, Call& call) {
    set(CURLOPT_WRITEFUNCTION, collectBody);
    set(CURLOPT_WRITEDATA, static_cast<void*>(&call));
    set(CURLOPT_HEADERFUNCTION, collectHeader);
    set(CURLOPT_HEADERDATA, static_cast<void*>(&call));
    if (call.stop.stop_possible()) {
        set(CURLOPT_NOPROGRESS, 0L);
        set(CURLOPT_XFERINFOFUNCTION, checkStop);
        set(CURLOPT_XFERINFODATA, static_cast<void*>(&call));
    }
}

// Throws what ended a transfer, after logging its detail. The query is left out of the log:
// it may carry a token.
[[noreturn]] void fail(const HTTPRequest& request, const Call& call, std::string libraryText, CURLcode code) {
    const auto where = request.method + " https://" + call.host + request.url.path();
    if (code == CURLE_ABORTED_BY_CALLBACK && call.stop.stop_requested()) {
        Log::info(Log::Category::network, where + ": cancelled");
        throw Cancelled();
    }
    const auto error = call.refusal ? TransportError(call.refusal->kind, call.host, call.refusal->detail)
                                    : TransportError(PinnedCurl::errorKind(code), call.host, std::move(libraryText));
    Log::error(Log::Category::network, where + ": " + error.detail());
    throw error;
}

} // namespace

struct CurlTransport::Handle {
    PinnedCurl::EasyPtr easy;
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
    return std::make_unique<Handle>(Handle{PinnedCurl::newEasy()});
}

void CurlTransport::returnHandle(HandlePtr handle) {
    // Forget every pointer into the finished call; the open connections stay.
    curl_easy_reset(handle->easy.get());
    std::lock_guard lock(idleLock_);
    if (idle_.size() < maxIdleHandles)
        idle_.push_back(std::move(handle));
}

HTTPResponse CurlTransport::send(const HTTPRequest& request) {
    if (request.stop.stop_requested())
        throw Cancelled();
    Call call{.connection = {options_.requirePins ? &trust_ : nullptr, request.url.host().value_or("")},
              .host = request.url.host().value_or(""),
              .maxBodyBytes = request.maxBodyBytes,
              .expectsBody = request.method != "HEAD",
              .stop = request.stop};
    auto handle = takeHandle();
    CURL* easy = handle->easy.get();
    // Credentials in the address would make libcurl send an Authorization header of its own.
    const auto url = request.url.withoutCredentials().text();
    const auto headers = headerList(request);
    const auto connectTo = PinnedCurl::connectList(options_.connectTo);
    std::array<char, CURL_ERROR_SIZE> errorText{};
    const Setter set(easy, call.host);
    PinnedCurl::applyRules(easy, {options_.caBundle, options_.connectTo}, connectTo.get(), call.connection);
    set(CURLOPT_TIMEOUT_MS, static_cast<long>(options_.timeout.count()));
    setRequest(set, request, url, headers.get());
    if (request.timeout && *request.timeout > std::chrono::milliseconds::zero())
        set(CURLOPT_TIMEOUT_MS, static_cast<long>(request.timeout->count()));
    setCallbacks(set, call);
    set(CURLOPT_ERRORBUFFER, errorText.data());

    const CURLcode code = curl_easy_perform(easy);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    returnHandle(std::move(handle));
    if (code != CURLE_OK)
        fail(request, call, errorText[0] ? errorText.data() : curl_easy_strerror(code), code);
    call.response.status = static_cast<int>(status);
    return std::move(call.response);
}

} // namespace ostrel
