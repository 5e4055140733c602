#include "Model/HubServices.h"

#include "Install/AppDirectories.h"
#include "Services/InMemoryTokenPersistence.h"
#include "Services/KeychainTokenPersistence.h"
#include "Util/Log.h"

#include <cstdlib>
#include <filesystem>

namespace ostrel::hub {
namespace fs = std::filesystem;
namespace {

std::shared_ptr<CurlTransport> transportFor(const ServiceConfig& config) {
    return std::make_shared<CurlTransport>(config.pinnedTrust(), CurlTransport::Options::from(config));
}

// Measurement and snapshot runs never read or write the user's sessions.
std::shared_ptr<TokenPersistence> tokensFor(const ModelEnvironment& environment, const char* account) {
    if (environment.ephemeralSessions)
        return std::make_shared<InMemoryTokenPersistence>();
    return std::make_shared<KeychainTokenPersistence>(KeychainTokenPersistence::serviceName, account);
}

// A private folder of the hub, or the temporary folder when it cannot be made.
fs::path folderOr(const std::optional<fs::path>& given, fs::path (*standard)()) {
    try {
        return given ? AppDirectories::owned(*given) : standard();
    } catch (const std::exception& error) {
        Log::error(Log::Category::launch, std::string("using the temporary folder: ") + error.what());
        return fs::temp_directory_path();
    }
}

fs::path homeOf(const ModelEnvironment& environment) {
    if (environment.home)
        return *environment.home;
    const char* home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? fs::path(home) : fs::temp_directory_path();
}

std::optional<InstallLock> lockIn(const fs::path& folder) {
    try {
        return InstallLock(folder);
    } catch (const std::exception& error) {
        Log::error(Log::Category::launch, std::string("installs run without the lock: ") + error.what());
        return std::nullopt;
    }
}

std::optional<SnapshotCache> snapshotsFor(const ModelEnvironment& environment) {
    if (!environment.snapshotFolder)
        return SnapshotCache::standard();
    try {
        return SnapshotCache{AppDirectories::owned(*environment.snapshotFolder)};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

InstallPipeline pipelineFor(const ModelEnvironment& environment, MoonbaseClient& client,
                            std::shared_ptr<InstallLedger> ledger, const fs::path& work) {
    const auto& config = environment.config;
    const CodeVerifier verifier(environment.signaturePolicy, environment.trust());
    const fs::path home = homeOf(environment);
    auto downloader = std::make_shared<Downloader>(config.hostPolicy(), config.pinnedTrust(),
                                                   PinnedCurl::Routing{config.caBundle, config.connectTo});
    // Linux has no system-wide applications folder the hub may write to: apps go to the
    // user's own, as plug-ins go to the user's plug-in folders.
    return InstallPipeline(Extractor{.verifier = verifier, .requireSignedContainers = true},
                           BundleInstaller{.verifier = verifier,
                                           .home = home,
                                           .applications = environment.applications.value_or(home / "Applications")},
                           std::move(ledger), work, ReleaseSource{&client, std::move(downloader)});
}

} // namespace

InstallPipeline HubServices::installPipeline(const ModelEnvironment& environment, MoonbaseClient& client,
                                             std::shared_ptr<InstallLedger> ledger, const fs::path& work) {
    return pipelineFor(environment, client, std::move(ledger), work);
}

HubServices::HubServices(const ModelEnvironment& environment)
    : config(environment.config), storeTransport_(transportFor(config)), identityTransport_(transportFor(config)),
      storeTokens_(tokensFor(environment, KeychainTokenPersistence::storeAccount)),
      identityTokens_(tokensFor(environment, KeychainTokenPersistence::identityAccount)),
      client(config.hostPolicy(), *storeTransport_, *storeTokens_),
      ostrelID(OstrelIDClient::apiBase(config.identityApiHost), OstrelIDClient::signInBase(config.identityApiHost),
               identityTransport_, identityTokens_),
      ledger(std::make_shared<InstallLedger>(folderOr(environment.supportFolder, &AppDirectories::support))),
      installLock(lockIn(folderOr(environment.supportFolder, &AppDirectories::support))),
      workFolder(folderOr(environment.workFolder, &AppDirectories::work)),
      pipeline(pipelineFor(environment, client, ledger, workFolder)),
      extrasClient(CatalogExtrasClient::forConfig(config, transportFor(config))), snapshots(snapshotsFor(environment)),
      images(ImageDataCache::standard(config)) {}

} // namespace ostrel::hub
