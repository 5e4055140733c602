#pragma once

#include "Services/HostPolicy.h"
#include "Services/PinnedTrust.h"
#include "Util/Error.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace ostrel {

// The hosts behind each service role, the pins of their authorities, and how to reach them.
// Production values are built in; the local demo services write a file of the same shape
// whose hosts keep their real names while connections go to 127.0.0.1.
struct ServiceConfig {
    std::string storeApiHost;    // the maker's storefront on the commerce service
    std::string storeAssetHost;  // the commerce service's public asset host
    std::string identityApiHost; // the maker's identity service
    std::string webDomain;       // the maker's web site (catalog extras, images)
    std::string downloadDomain;  // object storage; downloads come from its subdomains

    std::set<std::string> storePins;    // for storeApiHost
    std::set<std::string> identityPins; // for identityApiHost and webDomain
    std::set<std::string> downloadPins; // for every subdomain of downloadDomain

    // A PEM bundle of authorities to trust instead of the system's. In a file, a relative path
    // is taken from the file's folder, and the bundle must exist.
    std::optional<std::filesystem::path> caBundle;
    // Host → "address:port" to connect to instead, whatever port the address names.
    std::map<std::string, std::string> connectTo;
    // The registrable domains of the card and wallet services the store's payment page uses;
    // the checkout view opens their pages and windows, and no others besides the store's.
    std::set<std::string> paymentDomains = {};
    // The hub's own update feed; absent: "/hub/appcast" on the web domain.
    std::optional<std::string> hubUpdateFeed = std::nullopt;

    static const ServiceConfig& production();
    // A few kilobytes at most; the cap keeps a wrong path from being read whole.
    static constexpr std::size_t maxFileBytes = 1024 * 1024;

    // Throws ServiceConfigError.
    static ServiceConfig load(const std::filesystem::path& file);
    static ServiceConfig fromJson(std::string_view json);
    std::string toJson() const;

    HostPolicy hostPolicy() const;
    PinnedTrust pinnedTrust() const;
    // hubUpdateFeed, or its default on the web domain.
    Url hubUpdateFeedUrl() const;

    bool operator==(const ServiceConfig&) const = default;
};

// A service configuration file that cannot be used.
class ServiceConfigError : public Error {
public:
    // `source` is empty or " in <file>".
    ServiceConfigError(std::string source, std::string detail);
    const std::string& detail() const { return detail_; }

private:
    std::string detail_;
};

} // namespace ostrel
