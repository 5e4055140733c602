#include "StoreSession.h"

#include "ServiceOptions.h"
#include "Util/Error.h"

#include <algorithm>

namespace ostrel::hubctl {
namespace {

class NothingToInstall : public Error {
public:
    explicit NothingToInstall(const std::string& name)
        : Error("The store offers no Mac release of " + name + " to install.") {}
};

} // namespace

StoreSession::StoreSession(const CommandLine& line)
    : config(serviceConfig(line)), transport(config.pinnedTrust(), CurlTransport::Options::from(config)),
      client(config.hostPolicy(), transport, tokens) {}

InstallRequest storeRequest(const ProductSummary& product, const std::optional<InstallRecord>& installed) {
    const auto version = product.currentVersion ? product.currentVersion : product.version;
    const auto downloads = product.macDownloads();
    if (!version || downloads.empty())
        throw NothingToInstall(product.name);
    const auto same = std::find_if(downloads.begin(), downloads.end(), [&](const Download& download) {
        return installed && download.key == installed->downloadKey;
    });
    return {product.id, product.name, *version, same != downloads.end() ? *same : downloads.front()};
}

} // namespace ostrel::hubctl
