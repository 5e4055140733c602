#pragma once

#include "Services/HTTPTransport.h"
#include "Services/HostPolicy.h"
#include "Services/PinnedTrust.h"
#include "Util/Url.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace ostrel {

struct ServiceConfig;

// The bytes of product images and icons for the screens. Recently used images stay in memory,
// every fetched image stays on disk for 30 days, concurrent requests for one address share one
// download, and only addresses the host policy allows for images are fetched: hosts with pins
// through the pinned transport, the others through the plain one. Never reports an error:
// every failure is "no image", and the screen shows its placeholder. Bytes only; nothing here
// decodes an image.
//
// Safe from any thread: the memory table and the downloads under way live behind one lock,
// which is never held while reading a file or waiting for the network.
class ImageDataCache {
public:
    // An image's bytes, shared by every caller that asked for it; empty when there is none.
    using Bytes = std::shared_ptr<const std::string>;
    using Clock = std::chrono::system_clock;

    // Largest image accepted from the network: exactly 8 MiB is kept, one byte more is not.
    static constexpr std::size_t maxBytes = std::size_t{8} * 1024 * 1024;
    // Most images held in memory (a count, not a size).
    static constexpr std::size_t memoryLimit = 120;
    // Disk files older than this are deleted when a cache is built.
    static constexpr std::chrono::seconds maxAge{2'592'000};
    static constexpr std::chrono::seconds timeout{60};

    // `directory` is the disk cache (none: memory only); it is pruned here against `now`.
    ImageDataCache(std::optional<std::filesystem::path> directory, HostPolicy policy, PinnedTrust trust,
                   std::shared_ptr<HTTPTransport> pinned, std::shared_ptr<HTTPTransport> plain,
                   Clock::time_point now = Clock::now());
    ImageDataCache(const ImageDataCache&) = delete;
    ImageDataCache& operator=(const ImageDataCache&) = delete;

    // The process-wide cache of the production services, built on first use.
    static ImageDataCache& shared();
    // A cache on the hub's "images" caches folder (memory only when that cannot be made), with
    // the configuration's hosts, pins and routes.
    static std::unique_ptr<ImageDataCache> standard(const ServiceConfig& config);

    // The image at `url`, or none.
    Bytes data(const Url& url);

    // The disk file name of an address: the lower-case hex SHA-256 of its text, then ".img".
    static std::string key(const Url& url);
    // Deletes the entries of `directory` last written before `now` minus maxAge. Quiet about
    // every failure.
    static void prune(const std::filesystem::path& directory, Clock::time_point now);

private:
    Bytes load(const Url& url) const;
    Bytes fetch(const Url& url) const;
    void finish(const std::string& address, const Bytes& bytes);
    void remember(const std::string& address, Bytes bytes); // lock_ held

    const std::optional<std::filesystem::path> directory_;
    const HostPolicy policy_;
    const PinnedTrust trust_;
    const std::shared_ptr<HTTPTransport> pinned_;
    const std::shared_ptr<HTTPTransport> plain_;

    std::mutex lock_;
    std::unordered_map<std::string, Bytes> memory_;                       // guarded by lock_
    std::deque<std::string> order_;                                       // memory_'s keys, first stored first
    std::unordered_map<std::string, std::shared_future<Bytes>> inFlight_; // one download per address
};

} // namespace ostrel
