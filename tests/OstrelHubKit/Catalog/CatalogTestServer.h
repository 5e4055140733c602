#pragma once

#include "Catalog/ImageDataCache.h"
#include "LocalHttpsServer.h"
#include "Services/ServiceConfig.h"
#include "TempDir.h"
#include "TlsChains.h"

#include <map>
#include <memory>
#include <string>

namespace ostrel::test {

// One HTTPS server on 127.0.0.1 answering for the maker's web host, the store's asset host, the
// store's API host and hosts on no allow-list, and a service configuration that reaches it under those names (port
// 443 in every address). It counts every request it receives by host and path.
class CatalogTestServer {
public:
    static constexpr const char* web = "ostrel.test";           // pinned, an asset host
    static constexpr const char* assets = "assets.shop.test";   // no pins, an asset host
    static constexpr const char* stranger = "elsewhere.test";   // on no allow-list
    static constexpr const char* subdomain = "sub.ostrel.test"; // on no allow-list either

    CatalogTestServer();

    httplib::Server& routes() { return server_.routes(); }
    void start() { server_.start(); }

    const ServiceConfig& config() const { return config_; }
    const fixtures::TlsChain& chain() const { return chain_; }
    TempDir& dir() { return dir_; }

    static std::string url(const std::string& host, const std::string& path) { return "https://" + host + path; }
    // An image cache in memory only that fetches from this server, once it is started.
    std::shared_ptr<ImageDataCache> memoryImageCache() const;
    // Requests received for that host and path so far.
    int requests(const std::string& host, const std::string& path);
    // Requests received in all.
    int requests();

private:
    TempDir dir_{"catalog"};
    fixtures::TlsChain chain_;
    LocalHttpsServer server_;
    ServiceConfig config_;
    Seen<std::map<std::string, int>> seen_;
};

} // namespace ostrel::test
