#include "DemoHosts.h"

namespace ostrel::demo {

ServiceConfig DemoHosts::config(const std::set<std::string>& pins, const std::filesystem::path& caBundle,
                                const std::string& address) const {
    ServiceConfig config{
        .storeApiHost = store,
        .storeAssetHost = assets,
        .identityApiHost = identity,
        .webDomain = web,
        .downloadDomain = downloadDomain,
        .storePins = pins,
        .identityPins = pins,
        .downloadPins = pins,
        .caBundle = caBundle,
        .connectTo = {},
        .paymentDomains = {paymentDomain},
        .hubUpdateFeed = https(web) + "/hub/appcast",
    };
    for (const auto& host : all())
        config.connectTo.emplace(host, address);
    return config;
}

} // namespace ostrel::demo
