#include "CatalogTestServer.h"

#include "Catalog/PlainImageTransport.h"
#include "Services/CurlTransport.h"

#include <numeric>

namespace ostrel::test {

namespace {

std::vector<std::string> servedHosts() {
    return {CatalogTestServer::web, CatalogTestServer::assets, CatalogTestServer::stranger,
            CatalogTestServer::subdomain, ServiceConfig::production().storeApiHost};
}

} // namespace

CatalogTestServer::CatalogTestServer()
    : chain_(fixtures::makeTlsChain(dir_ / "tls", {.hostNames = servedHosts()})), server_(chain_) {
    config_ = ServiceConfig::production();
    config_.webDomain = web;
    config_.storeAssetHost = assets;
    config_.identityPins = {chain_.intermediatePin};
    config_.caBundle = chain_.root;
    for (const auto& host : servedHosts())
        config_.connectTo.emplace(host, server_.address());
    routes().set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
        seen_.update([&](auto& counts) { ++counts[request.get_header_value("Host") + request.path]; });
        return httplib::Server::HandlerResponse::Unhandled;
    });
}

std::shared_ptr<ImageDataCache> CatalogTestServer::memoryImageCache() const {
    const auto options = CurlTransport::Options::from(config_);
    return std::make_shared<ImageDataCache>(std::nullopt, config_.hostPolicy(), config_.pinnedTrust(),
                                            std::make_shared<CurlTransport>(config_.pinnedTrust(), options),
                                            std::make_shared<PlainImageTransport>(options));
}

int CatalogTestServer::requests(const std::string& host, const std::string& path) {
    const auto counts = seen_.get();
    const auto found = counts.find(host + path);
    return found == counts.end() ? 0 : found->second;
}

int CatalogTestServer::requests() {
    const auto counts = seen_.get();
    return std::accumulate(counts.begin(), counts.end(), 0,
                           [](int sum, const auto& entry) { return sum + entry.second; });
}

} // namespace ostrel::test
