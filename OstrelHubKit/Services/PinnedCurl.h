#pragma once

#include "Services/PinnedTrust.h"
#include "Services/TransportError.h"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include <curl/curl.h>

namespace ostrel::PinnedCurl {

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyPtr = std::unique_ptr<CURL, EasyDeleter>;
using ListPtr = std::unique_ptr<curl_slist, ListDeleter>;

// The pin check's view of one call; it must outlive the transfer. Without a
// trust the authorities alone decide (hosts the maker does not run have no pins).
struct Connection {
    const PinnedTrust* trust;
    std::string host;
};

// Where connections go and which authorities stand in for the system's.
struct Routing {
    std::optional<std::filesystem::path> caBundle = std::nullopt;
    std::map<std::string, std::string> connectTo = {}; // host → "address:port"
};

// libcurl set up once per process, and a new easy handle.
EasyPtr newEasy();

// Adds a line to a libcurl string list.
void append(ListPtr& list, const std::string& line);

// "host::address:port" lines for CURLOPT_CONNECT_TO.
ListPtr connectList(const std::map<std::string, std::string>& connectTo);

// HTTPS only, never a proxy, redirects returned rather than followed, no
// signals, no decoding of compressed answers (we never ask for one), TLS 1.2
// or later, no TLS session reuse, renegotiation refused, and
// every new connection accepted only when the trust accepts its chain for the
// host. Throws TransportError when libcurl lacks an option.
void applyRules(CURL* easy, const Routing& routing, curl_slist* connectTo, Connection& connection);

[[noreturn]] void refuseOption(CURLcode code, const std::string& host);

// Sets one option; a libcurl that lacks it cannot make the request safely.
template <typename T>
void set(CURL* easy, CURLoption option, T value, const std::string& host) {
    if (const auto code = curl_easy_setopt(easy, option, value); code != CURLE_OK)
        refuseOption(code, host);
}

// How a failed transfer reads to callers.
TransportError::Kind errorKind(CURLcode code);

} // namespace ostrel::PinnedCurl
