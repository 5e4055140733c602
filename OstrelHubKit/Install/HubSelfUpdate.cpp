#include "Install/HubSelfUpdate.h"

#include "Services/CurlTransport.h"
#include "Services/ServiceConfig.h"
#include "Util/Log.h"
#include "Verify/Ed25519.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

namespace ostrel {
namespace fs = std::filesystem;
namespace {

std::string sentenceFor(HubUpdateError::Kind kind) {
    switch (kind) {
    case HubUpdateError::Kind::feedUnavailable:
        return "Ostrel Hub could not check for a new version. Check your connection and try again.";
    case HubUpdateError::Kind::feedUnreadable:
        return "The update feed of Ostrel Hub could not be read.";
    case HubUpdateError::Kind::feedUnsigned:
        return "The update feed does not carry Ostrel's signature, so it was ignored.";
    case HubUpdateError::Kind::downloadFailed:
        return "The new version of Ostrel Hub could not be downloaded. Check your connection and try again.";
    case HubUpdateError::Kind::downloadUnsigned:
        return "The new version of Ostrel Hub does not carry Ostrel's signature, so it was not installed.";
    case HubUpdateError::Kind::notAHubBuild:
        return "The new version of Ostrel Hub could not be unpacked, so it was not installed.";
    }
    return "Ostrel Hub could not update itself.";
}

// Throws a HubUpdateError of `kind` after logging what really happened.
[[noreturn]] void refuse(HubUpdateError::Kind kind, const std::string& detail) {
    Log::error(Log::Category::install, "self-update: " + detail);
    throw HubUpdateError(kind, detail);
}

} // namespace

HubUpdateError::HubUpdateError(Kind kind, const std::string&) : Error(sentenceFor(kind)), kind_(kind) {}

std::string HubSelfUpdate::builtInPublicKey() {
    static const auto key = Ed25519::publicKeyFromBase64(OSTREL_HUB_UPDATE_PUBLIC_KEY);
    if (!key)
        throw std::logic_error("OSTREL_HUB_UPDATE_PUBLIC_KEY is not a base64 Ed25519 public key");
    return *key;
}

HubSelfUpdate::HubSelfUpdate(Settings settings)
    : settings_(std::move(settings)), swap_(settings_.installed, settings_.selfTestSeconds) {}

HubSelfUpdate HubSelfUpdate::forConfig(const ServiceConfig& config, std::string publicKey, fs::path installed,
                                       fs::path work) {
    auto options = CurlTransport::Options::from(config);
    options.timeout = feedTimeout;
    return HubSelfUpdate(Settings{
        .feed = config.hubUpdateFeedUrl(),
        .publicKey = std::move(publicKey),
        .transport = std::make_shared<CurlTransport>(config.pinnedTrust(), options),
        .downloader = std::make_shared<Downloader>(
            config.hostPolicy(), config.pinnedTrust(),
            PinnedCurl::Routing{.caBundle = config.caBundle, .connectTo = config.connectTo}),
        .installed = std::move(installed),
        .work = std::move(work),
    });
}

std::optional<Version> HubSelfUpdate::installedVersion() const {
    const auto text = HubFolderSwap::versionOf(settings_.installed);
    return text ? std::optional<Version>(Version(*text)) : std::nullopt;
}

std::optional<HubAppcast::Item> HubSelfUpdate::check(const Version& current, std::stop_token stop) const {
    if (!HostPolicy::isPlainHTTPS(settings_.feed))
        refuse(HubUpdateError::Kind::feedUnavailable, "the feed " + settings_.feed.text() + " is not plain HTTPS");
    HTTPRequest request{.url = settings_.feed,
                        .method = "GET",
                        .headers = {{"Accept", "application/json"}, {"User-Agent", "Ostrel Hub (Linux)"}},
                        .timeout = feedTimeout};
    request.maxBodyBytes = HubAppcast::maxBytes;
    request.stop = stop;
    HTTPResponse response;
    try {
        response = settings_.transport->send(request);
    } catch (const Cancelled&) {
        throw;
    } catch (const std::exception& e) {
        refuse(HubUpdateError::Kind::feedUnavailable, "the feed " + settings_.feed.text() + " failed: " + e.what());
    }
    if (response.status != 200)
        refuse(HubUpdateError::Kind::feedUnavailable, "the feed answered " + std::to_string(response.status));
    HubAppcast feed;
    try {
        const auto envelope = HubAppcast::split(response.body);
        if (!Ed25519::verify(settings_.publicKey, envelope.body, envelope.signature))
            refuse(HubUpdateError::Kind::feedUnsigned, "the feed's signature is not the hub's key's");
        feed = HubAppcast::parse(envelope.body);
    } catch (const HubAppcastError& e) {
        refuse(HubUpdateError::Kind::feedUnreadable, e.detail());
    }
    std::optional<HubAppcast::Item> newest;
    for (auto& item : feed.items)
        if (Version(item.version) > current && (!newest || Version(item.version) > Version(newest->version)))
            newest = std::move(item);
    return newest;
}

fs::path HubSelfUpdate::download(const HubAppcast::Item& item, std::stop_token stop) const {
    fs::create_directories(settings_.work);
    const fs::path file = settings_.work / "ostrel-hub-update.tar.gz";
    try {
        settings_.downloader->download(Url(item.url), std::nullopt, file, item.length, {}, stop);
    } catch (const Cancelled&) {
        throw;
    } catch (const std::exception& e) {
        refuse(HubUpdateError::Kind::downloadFailed, "downloading " + item.url + " failed: " + e.what());
    }
    if (!Ed25519::verifyFile(settings_.publicKey, file, item.signature)) {
        fs::remove(file);
        refuse(HubUpdateError::Kind::downloadUnsigned, item.url + " does not match its signature");
    }
    return file;
}

HubFolderSwap::Outcome HubSelfUpdate::install(const HubAppcast::Item& item, std::stop_token stop) const {
    recover(stop);
    const fs::path archive = download(item, stop);
    const auto& staging = swap_.beginStaging();
    try {
        // A hub build is plain files: no code signature of the store's kind to check.
        const Extractor extractor{.maxExpandedBytes = settings_.maxUnpackedBytes,
                                  .verifier =
                                      CodeVerifier(SignaturePolicy::ostrel(), signature::TrustSettings::apple())};
        extractor.expandArchive(archive, staging);
        fs::remove(archive);
        if (!HubFolderSwap::isHubBuild(staging))
            refuse(HubUpdateError::Kind::notAHubBuild, item.url + " holds no bin/ostrel-hub with a version");
    } catch (const HubUpdateError&) {
        fs::remove_all(staging);
        throw;
    } catch (const std::exception& e) {
        fs::remove_all(staging);
        fs::remove(archive);
        refuse(HubUpdateError::Kind::notAHubBuild, "unpacking " + item.url + " failed: " + e.what());
    }
    Log::info(Log::Category::install, "self-update: swapping in " + item.version);
    return swap_.swapIn(stop);
}

HubFolderSwap::Recovery HubSelfUpdate::recover(std::stop_token stop) const {
    return swap_.recover(stop);
}

} // namespace ostrel
