#pragma once

#include "Util/Url.h"

#include <set>
#include <string>

namespace ostrel {

// Where the hub may go, by role. Clients ask it before they build or follow an address; the
// transport itself only knows pins.
struct HostPolicy {
    std::string apiHost;                   // the one host of the store's customer API
    std::set<std::string> assetHosts;      // exact hosts product images may come from
    std::set<std::string> downloadDomains; // domains whose subdomains may serve downloads

    // The production rules.
    static const HostPolicy& ostrel();

    // https, a non-empty host, no user or password, and no port other than 443.
    static bool isPlainHTTPS(const Url& url);
    bool allowsAPI(const Url& url) const;
    bool allowsImage(const Url& url) const;
    bool allowsDownload(const Url& url) const;
    // "https://" followed by the API host.
    Url apiBase() const;

    bool operator==(const HostPolicy&) const = default;
};

// Whether `host` is a proper subdomain of `domain` (ends in "." + domain).
bool isSubdomain(const std::string& host, const std::string& domain);

} // namespace ostrel
