#pragma once

#include "Services/HTTPTransport.h"
#include "Services/PinnedTrust.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

struct ServiceConfig;

// The production transport: HTTPS only, no cookies, no cache, TLS 1.2 or later, a time limit
// per request, redirects returned rather than followed, and every TLS connection accepted only
// when PinnedTrust::accepts says so for its host (a host without pins can never be reached).
// An answer body beyond the request's maxBodyBytes is refused, by its announced length before
// it is read or as it arrives, and nothing is ever inflated: a transfer coding other than
// chunked is refused. Failures without a usable answer are thrown as TransportError and logged.
class CurlTransport : public HTTPTransport {
public:
    struct Options {
        // Authorities to trust instead of the system's (PEM bundle).
        std::optional<std::filesystem::path> caBundle = std::nullopt;
        // Host → "address:port": the address keeps its host and port, the connection goes here.
        std::map<std::string, std::string> connectTo = {};
        // The whole request, from connecting to the last byte of the answer.
        std::chrono::milliseconds timeout = std::chrono::seconds(30);
        // Off: the authorities alone decide, with no pins (for hosts that have none, such as
        // image hosts the maker does not run). Every other rule stays.
        bool requirePins = true;

        // The trust and routing parts of a service configuration.
        static Options from(const ServiceConfig& config);
    };

    explicit CurlTransport(PinnedTrust trust);
    CurlTransport(PinnedTrust trust, Options options);
    CurlTransport(const CurlTransport&) = delete;
    CurlTransport& operator=(const CurlTransport&) = delete;
    ~CurlTransport() override;

    HTTPResponse send(const HTTPRequest& request) override;

private:
    struct Handle;
    using HandlePtr = std::unique_ptr<Handle>;

    HandlePtr takeHandle();
    void returnHandle(HandlePtr handle);

    const PinnedTrust trust_;
    const Options options_;
    std::mutex idleLock_;
    std::vector<HandlePtr> idle_; // guarded by idleLock_
};

} // namespace ostrel
