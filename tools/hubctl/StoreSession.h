#pragma once

#include "CommandLine.h"
#include "Install/InstallLedger.h"
#include "Install/InstallRequest.h"
#include "Services/CurlTransport.h"
#include "Services/KeychainTokenPersistence.h"
#include "Services/MoonbaseClient.h"
#include "Services/ServiceConfig.h"

#include <optional>
#include <set>
#include <string>

namespace ostrel::hubctl {

// The store as the app reaches it: the services of --config, the pinned transport, and the
// session kept in the secret store under the app's own item, so a sign-in here is the app's too.
struct StoreSession {
    explicit StoreSession(const CommandLine& line);
    StoreSession(const StoreSession&) = delete;
    StoreSession& operator=(const StoreSession&) = delete;

    ServiceConfig config;
    CurlTransport transport;
    KeychainTokenPersistence tokens{KeychainTokenPersistence::serviceName, KeychainTokenPersistence::storeAccount};
    MoonbaseClient client;
};

// The release of a store product to install: the store's current version and its Mac download,
// the one the installed release came from when the store still offers it (as the update runner
// chooses). Throws an Error with the sentence when the store offers nothing to install.
InstallRequest storeRequest(const ProductSummary& product, const std::optional<InstallRecord>& installed);

// Options of every command that talks to the store.
inline const std::set<std::string> storeOptions{"config"};

} // namespace ostrel::hubctl
