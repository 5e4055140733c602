#include "StoreSession.h"

#include "Install/UpdateRunner.h"
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
    auto request = UpdateRunner::requestFor(product, installed);
    if (!request)
        throw NothingToInstall(product.name);
    return *request;
}

} // namespace ostrel::hubctl
