#pragma once

#include "DemoCatalogue.h"
#include "DemoHosts.h"
#include "DemoIdentity.h"
#include "DemoLog.h"
#include "DemoStore.h"
#include "DownloadFaults.h"
#include "DownloadMeter.h"
#include "HubUpdateShelf.h"
#include "ImageShelf.h"
#include "ReleaseShelf.h"
#include "ReviewBook.h"
#include "SignedReleases.h"
#include "StallGate.h"
#include "TlsChains.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>

namespace httplib {
class SSLServer;
}

namespace ostrel::demo {

class HostRouter;
struct DemoContext;

struct DemoServicesOptions {
    std::filesystem::path stateFolder;   // CA, release files and the written configuration
    std::filesystem::path catalogueFile; // the demo catalogue (JSON)
    uint16_t port = 0;                   // 0: any free port
    std::chrono::seconds tokenLifetime{300};
    std::chrono::seconds settleDelay{3};
    size_t pageSize = 4;
    // Empty: releases signed for the demo team by the PKI kept in the state folder.
    ReleaseMaker makeRelease{};
    // How long a stalled download holds its connection at most; longer than the hub's own
    // 60-second request time-out, so that its time-out is what ends a stall.
    std::chrono::seconds stallLimit{120};
    DemoLog log = standardErrorLog();
    // An installed hub folder to publish, one version up, as the hub's own update.
    std::optional<std::filesystem::path> hubFolder = std::nullopt;
};

// The local stand-in for every service the hub talks to, on one HTTPS port of 127.0.0.1 with
// its own certificate authority: the store's customer API and checkout page, Ostrel ID with
// reviews, the maker's site with the extras feed and images, and the download host. Requests
// are routed by the host they name, and the written service configuration sends every demo
// host to that port, so addresses keep their real shape.
class DemoServices {
public:
    static constexpr const char* configFileName = "service-config.json";
    // The key that signs the store's and Ostrel ID's tokens, kept so sessions survive a restart.
    static constexpr const char* tokenKeyFileName = "token-signing.key";

    // Makes the CA, binds the port (before any slow work, so that a port in use is refused at
    // once), makes the release files and writes the configuration. Throws std::exception with a
    // sentence saying what failed.
    explicit DemoServices(DemoServicesOptions options);
    DemoServices(const DemoServices&) = delete;
    DemoServices& operator=(const DemoServices&) = delete;
    ~DemoServices();

    // Serves on a thread of its own until stop().
    void start();
    // Stops accepting, finishes the requests under way and joins the thread. Idempotent.
    void stop();

    uint16_t port() const { return port_; }
    const std::filesystem::path& configFile() const { return configFile_; }
    const DemoHosts& hosts() const { return hosts_; }
    // The root certificate the release files' signatures lead to: the demo's code-signing anchor.
    const std::filesystem::path& codeSigningRoot() const { return signing_.rootFile(); }

    // $XDG_STATE_HOME/ostrel-demo-services when that is set, else ostrel-demo-services-UID in
    // the temporary folder ($TMPDIR, else /tmp).
    static std::filesystem::path defaultStateFolder();

private:
    void addRoutes();

    const DemoServicesOptions options_;
    const DemoHosts hosts_;
    const fixtures::TlsChain chain_; // the demo CA and the certificate the server presents
    std::unique_ptr<httplib::SSLServer> server_;
    const uint16_t port_;
    const DemoCatalogue catalogue_;
    const SignedReleases signing_;
    ReleaseShelf releases_;
    DemoStore store_;
    DemoIdentity identity_;
    ReviewBook reviews_;
    DownloadFaults faults_;
    DownloadMeter meter_;
    StallGate stalls_;
    ImageShelf images_;
    HubUpdateShelf hubUpdates_;
    std::unique_ptr<DemoContext> context_;
    std::unique_ptr<HostRouter> router_;
    std::filesystem::path configFile_;
    std::thread thread_;
    std::atomic<bool> served_{false}; // the serving loop has returned
};

} // namespace ostrel::demo
