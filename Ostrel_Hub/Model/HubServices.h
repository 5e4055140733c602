#pragma once

#include "Catalog/CatalogExtrasClient.h"
#include "Catalog/ImageDataCache.h"
#include "Catalog/SnapshotCache.h"
#include "Install/InstallLedger.h"
#include "Install/InstallLock.h"
#include "Install/InstallPipeline.h"
#include "Model/ModelEnvironment.h"
#include "Services/CurlTransport.h"
#include "Services/MoonbaseClient.h"
#include "Services/OstrelIDClient.h"
#include "Services/TokenPersistence.h"

#include <memory>
#include <optional>

namespace ostrel::hub {

// The Kit objects the app model drives, built once from the environment: the store and
// identity clients with their sessions, the ledger and the install lock, the install
// pipeline, the extras feed, the snapshot cache and the image cache. Every client is safe to call from the
// Kit's worker threads.
class HubServices {
public:
    explicit HubServices(const ModelEnvironment& environment);
    HubServices(const HubServices&) = delete;
    HubServices& operator=(const HubServices&) = delete;

    const ServiceConfig config;

    // The install pipeline as the app builds it for an environment: the pinned downloader of its
    // services, the signature policy and folders it names. The background update builds the same.
    static InstallPipeline installPipeline(const ModelEnvironment& environment, MoonbaseClient& client,
                                           std::shared_ptr<InstallLedger> ledger, const std::filesystem::path& work);

private:
    // Declared before the clients that hold references to them.
    std::shared_ptr<CurlTransport> storeTransport_;
    std::shared_ptr<CurlTransport> identityTransport_;
    std::shared_ptr<TokenPersistence> storeTokens_;
    std::shared_ptr<TokenPersistence> identityTokens_;

public:
    MoonbaseClient client;
    OstrelIDClient ostrelID;
    const std::shared_ptr<InstallLedger> ledger;
    // Absent when the lock file cannot be set up: installs then run without it.
    std::optional<InstallLock> installLock;
    // Where downloads are unpacked and paused downloads wait.
    const std::filesystem::path workFolder;
    InstallPipeline pipeline;
    const CatalogExtrasClient extrasClient;
    // Absent when the caches folder cannot be made.
    const std::optional<SnapshotCache> snapshots;
    // Product icons and screenshots for the screens, shared with their image threads.
    const std::shared_ptr<ImageDataCache> images;
};

} // namespace ostrel::hub
