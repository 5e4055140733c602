#pragma once

#include <mutex>
#include <string>
#include <thread>

#include <httplib.h>

namespace ostrel::fixtures {
struct TlsChain;
}

namespace ostrel::test {

// An HTTPS server on a free port of 127.0.0.1 presenting a chain made for the test. Clients keep
// the real host names in their addresses and reach it through a connect-to map. Add routes, then
// start(); the destructor stops it.
class LocalHttpsServer {
public:
    explicit LocalHttpsServer(const fixtures::TlsChain& chain);
    LocalHttpsServer(const LocalHttpsServer&) = delete;
    LocalHttpsServer& operator=(const LocalHttpsServer&) = delete;
    ~LocalHttpsServer();

    httplib::Server& routes() { return server_; }
    void start();
    // "127.0.0.1:<port>", for a connect-to map.
    std::string address() const;

private:
    httplib::SSLServer server_;
    int port_ = 0;
    std::thread thread_;
};

// What server handlers saw, read by the test after its call returned (handlers run on other threads).
template <typename T>
class Seen {
public:
    template <typename F>
    void update(F change) {
        const std::lock_guard guard(lock_);
        change(value_);
    }
    T get() {
        const std::lock_guard guard(lock_);
        return value_;
    }

private:
    std::mutex lock_;
    T value_{};
};

} // namespace ostrel::test
