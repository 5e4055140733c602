#pragma once

#include "Util/Url.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

struct HTTPHeader {
    std::string name;
    std::string value;
    bool operator==(const HTTPHeader&) const = default;
};

// A request exactly as it goes out: the transport adds no header, body or authorisation.
struct HTTPRequest {
    // Enough for every JSON answer of the services; images and files set their own.
    static constexpr std::size_t defaultMaxBodyBytes = std::size_t{8} * 1024 * 1024;

    Url url;
    std::string method = "GET";
    std::vector<HTTPHeader> headers = {};
    std::string body = {};
    // The whole request's time limit; the transport's own when absent.
    std::optional<std::chrono::milliseconds> timeout = {};
    // The largest answer body accepted, whether announced by its length or counted as it
    // arrives; a larger one is refused before or while it is read.
    std::size_t maxBodyBytes = defaultMaxBodyBytes;
    // Ends the request, sent or not, with ostrel::Cancelled once a stop is requested.
    std::stop_token stop = {};
};

struct HTTPResponse {
    int status = 0;
    std::vector<HTTPHeader> headers; // in the order received
    std::string body;

    // The first header of that name, compared without regard to case.
    std::optional<std::string> header(std::string_view name) const;
};

// The one operation the service clients send through. Implementations are shared by
// concurrent callers and must be safe to call from any thread. The status is not judged here:
// a 3xx, 4xx or 5xx answer is returned like any other.
class HTTPTransport {
public:
    virtual ~HTTPTransport() = default;
    virtual HTTPResponse send(const HTTPRequest& request) = 0;
};

} // namespace ostrel
