#pragma once

#include "Services/HTTPTransport.h"

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

namespace ostrel::test {

// A stand-in for the identity service: an HTTPS server on a free port of 127.0.0.1 with a
// certificate chain of its own for `host`, and a production transport pinned to that chain
// whose connections for `host` go to the server. Addresses keep their real shape
// ("https://id.demo.test/..."). Add routes, then start().
class IdentityTestServer {
public:
    static constexpr const char* host = "id.demo.test";

    // What a route was asked, kept for the test to read after the call returned.
    struct Received {
        std::string method;
        std::string target; // path and query exactly as sent
        std::multimap<std::string, std::string, httplib::detail::ci> headers;
        std::string body;

        // The value of that header, or "(none)" when it was not sent.
        std::string header(const std::string& name) const {
            const auto found = headers.find(name);
            return found == headers.end() ? "(none)" : found->second;
        }
    };

    // The chain's files go into `folder`.
    explicit IdentityTestServer(const std::filesystem::path& folder);
    IdentityTestServer(const IdentityTestServer&) = delete;
    IdentityTestServer& operator=(const IdentityTestServer&) = delete;
    ~IdentityTestServer();

    // Routes that record what they receive before `handler` answers.
    void get(const std::string& pattern, httplib::Server::Handler handler);
    void post(const std::string& pattern, httplib::Server::Handler handler);
    void start();
    std::shared_ptr<HTTPTransport> transport() const { return transport_; }

    // Every request a route received, in order.
    std::vector<Received> received();
    // Every request that arrived, routed or not.
    size_t arrivals();

private:
    std::unique_ptr<httplib::SSLServer> server_;
    std::shared_ptr<HTTPTransport> transport_;
    std::thread thread_;
    std::mutex lock_;
    std::vector<Received> received_; // guarded by lock_
    size_t arrivals_ = 0;            // guarded by lock_

    httplib::Server::Handler recording(httplib::Server::Handler handler);
};

} // namespace ostrel::test
