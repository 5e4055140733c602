#pragma once

#include "Services/ServiceConfig.h"

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace ostrel::demo {

// The host names the demo services answer for. They keep the shape of the real ones (https,
// port 443, the same roles); the written configuration maps each of them to the one local port
// (connectTo), which the hub's connections and its checkout web view both follow. They end in
// ".localhost", which browsers and the system resolver send to the loopback address, so with
// --port 443 an outside browser reaches the sign-in and checkout pages under the same names too.
struct DemoHosts {
    std::string store = "store.ostrel.localhost";            // the store's customer API and checkout page
    std::string assets = "assets.store.ostrel.localhost";    // the store's public asset host (icons)
    std::string identity = "id.ostrel.localhost";            // Ostrel ID and reviews
    std::string web = "ostrel.localhost";                    // the maker's site: extras feed, screenshots
    std::string downloadDomain = "storage.ostrel.localhost"; // object storage; only subdomains serve files
    std::string downloads = "releases.storage.ostrel.localhost";
    // The card and wallet service the checkout page hands over to, on a domain of its own.
    std::string paymentDomain = "demopay.localhost";
    std::string payments = "checkout.demopay.localhost";

    std::vector<std::string> all() const { return {store, assets, identity, web, downloads, payments}; }
    static std::string https(const std::string& host) { return "https://" + host; }

    // Every role on these hosts, pinned to `pins`, trusting `caBundle`, reached at `address`
    // ("127.0.0.1:port").
    ServiceConfig config(const std::set<std::string>& pins, const std::filesystem::path& caBundle,
                         const std::string& address) const;
};

} // namespace ostrel::demo
