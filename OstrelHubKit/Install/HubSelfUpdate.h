#pragma once

#include "Install/Downloader.h"
#include "Install/Extractor.h"
#include "Install/HubFolderSwap.h"
#include "Services/HTTPTransport.h"
#include "Services/HubAppcast.h"
#include "Util/Error.h"
#include "Util/Url.h"
#include "Util/Version.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

namespace ostrel {

struct ServiceConfig;

// The hub updating itself: the feed read over the pinned transport and checked against the
// public key built into the hub; the newest item above the running version chosen; its
// download fetched by the pinned downloader into the work folder, checked against its own
// signature, unpacked beside the installed folder and swapped in (HubFolderSwap). Blocking;
// safe from any thread, one update at a time per installed folder.
class HubSelfUpdate {
public:
    static constexpr std::chrono::seconds feedTimeout{60};

    struct Settings {
        Url feed;
        std::string publicKey; // 32 raw bytes
        std::shared_ptr<HTTPTransport> transport;
        std::shared_ptr<Downloader> downloader;
        std::filesystem::path installed; // the install prefix holding bin/ostrel-hub
        std::filesystem::path work;      // where downloads wait; any file system
        double selfTestSeconds = HubFolderSwap::defaultSelfTestSeconds;
        // The largest unpacked build accepted.
        int64_t maxUnpackedBytes = 2'147'483'648;
    };

    explicit HubSelfUpdate(Settings settings);

    // The public key the hub is built with (the CMake cache variable
    // OSTREL_HUB_UPDATE_PUBLIC_KEY): 32 raw bytes.
    static std::string builtInPublicKey();

    // The feed of the configuration's web host and its pinned transport and downloader.
    static HubSelfUpdate forConfig(const ServiceConfig& config, std::string publicKey, std::filesystem::path installed,
                                   std::filesystem::path work);

    // The installed folder's own version.
    std::optional<Version> installedVersion() const;
    // The newest item of a correctly signed feed whose version is above `current`; none when
    // there is none. Throws HubUpdateError.
    std::optional<HubAppcast::Item> check(const Version& current, std::stop_token stop = {}) const;
    // Fetches, checks and swaps in the item. Throws HubUpdateError before anything is swapped;
    // rolledBack when the new build did not start.
    HubFolderSwap::Outcome install(const HubAppcast::Item& item, std::stop_token stop = {}) const;
    // What an interrupted earlier update left, put right (HubFolderSwap::recover).
    HubFolderSwap::Recovery recover(std::stop_token stop = {}) const;

    const HubFolderSwap& swap() const { return swap_; }
    HubFolderSwap& swap() { return swap_; }

private:
    std::filesystem::path download(const HubAppcast::Item& item, std::stop_token stop) const;

    Settings settings_;
    HubFolderSwap swap_;
};

// Why a self-update stopped, with the sentence a person sees; the detail goes to the log.
class HubUpdateError : public Error {
public:
    enum class Kind { feedUnavailable, feedUnreadable, feedUnsigned, downloadFailed, downloadUnsigned, notAHubBuild };

    HubUpdateError(Kind kind, const std::string& detail);
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

} // namespace ostrel
