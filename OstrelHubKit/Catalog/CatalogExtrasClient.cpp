#include "Catalog/CatalogExtrasClient.h"

#include "Services/ServiceConfig.h"
#include "Util/Log.h"

#include <exception>
#include <string>

namespace ostrel {

namespace {

void note(const Url& url, const std::string& problem) {
    Log::info(Log::Category::catalog, "Catalog extras from " + url.text() + " not used: " + problem);
}

} // namespace

CatalogExtrasClient CatalogExtrasClient::forConfig(const ServiceConfig& config,
                                                   std::shared_ptr<HTTPTransport> transport) {
    return {CatalogExtras::feedURL(config.webDomain), config.hostPolicy(), std::move(transport)};
}

std::optional<CatalogExtras> CatalogExtrasClient::fetch() const {
    // The feed lives on an asset host, under the same rule as images.
    if (!policy.allowsImage(url)) {
        note(url, "the address is not on an allowed host");
        return std::nullopt;
    }
    HTTPRequest request{.url = url,
                        .method = "GET",
                        .headers = {{"Accept", "application/json"}, {"User-Agent", "Ostrel Hub (macOS)"}},
                        .timeout = timeout};
    request.maxBodyBytes = maxBodyBytes;
    HTTPResponse response;
    try {
        response = transport->send(request);
    } catch (const std::exception& e) {
        note(url, e.what());
        return std::nullopt;
    }
    if (response.status != 200 || response.body.size() > maxBodyBytes) {
        note(url, "status " + std::to_string(response.status) + ", " + std::to_string(response.body.size()) + " bytes");
        return std::nullopt;
    }
    auto extras = CatalogExtras::decode(response.body);
    if (!extras)
        note(url, "the feed did not decode");
    return extras;
}

} // namespace ostrel
