#include "Services/HostPolicy.h"

#include "Services/ServiceConfig.h"
#include "Util/Text.h"

#include <algorithm>

namespace ostrel {

bool isSubdomain(const std::string& host, const std::string& domain) {
    return host.size() > domain.size() + 1 && host.ends_with(domain) && host[host.size() - domain.size() - 1] == '.';
}

const HostPolicy& HostPolicy::ostrel() {
    static const HostPolicy policy = ServiceConfig::production().hostPolicy();
    return policy;
}

bool HostPolicy::isPlainHTTPS(const Url& url) {
    const auto host = url.host();
    const auto port = url.port();
    return url.scheme() == "https" && host && !host->empty() && !url.user() && !url.password() &&
           (!port || *port == 443);
}

bool HostPolicy::allowsAPI(const Url& url) const {
    return isPlainHTTPS(url) && Text::asciiLowercase(*url.host()) == apiHost;
}

bool HostPolicy::allowsImage(const Url& url) const {
    return isPlainHTTPS(url) && assetHosts.contains(Text::asciiLowercase(*url.host()));
}

bool HostPolicy::allowsDownload(const Url& url) const {
    if (!isPlainHTTPS(url))
        return false;
    const auto host = Text::asciiLowercase(*url.host());
    return std::any_of(downloadDomains.begin(), downloadDomains.end(),
                       [&](const std::string& domain) { return isSubdomain(host, domain); });
}

Url HostPolicy::apiBase() const {
    return Url("https://" + apiHost);
}

} // namespace ostrel
