#pragma once

#include "Services/HostPolicy.h"
#include "Services/PinnedCurl.h"
#include "Services/PinnedTrust.h"
#include "Util/Url.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

namespace ostrel {

// Fetches a store release file into a destination, with four promises the
// install pipeline relies on: every address and every redirect target is an
// allowed HTTPS download host (redirects are followed here, one by one, never
// by libcurl); every connection is pinned; the transfer stops as soon as it
// would pass the size the store published; and a stopped transfer gives
// resume data (see ResumeData) that a later call continues from. Bytes go
// straight to a partial file beside the destination (0600) and never sit in
// memory; the finished file replaces the destination by a rename.
// Safe to use from several threads at once; at most two connections per host.
class Downloader {
public:
    struct Limits {
        std::chrono::seconds withoutProgress{60}; // connecting, or a body that stalls
        std::chrono::seconds whole{3600};
        int redirects = 5;
        int connectionsPerHost = 2;
    };
    // (received, expected): expected is what the server announced, -1 when it did not.
    using Progress = std::function<void(int64_t received, int64_t expected)>;

    Downloader(HostPolicy policy, PinnedTrust trust, PinnedCurl::Routing routing = {});
    Downloader(HostPolicy policy, PinnedTrust trust, PinnedCurl::Routing routing, Limits limits);

    // Returns the destination once the file is there. Throws MoonbaseError::blockedURL before
    // any request for an address that is not an allowed download, DownloadError, TransportError,
    // and DownloadInterrupted (with resume data when there is something to resume) once `stop`
    // is requested.
    std::filesystem::path download(const Url& url, const std::optional<std::string>& resumeData,
                                   const std::filesystem::path& destination, int64_t maxBytes, const Progress& progress,
                                   std::stop_token stop = {});

    struct Transfer; // one download's state, shared with libcurl's callbacks

private:
    // One request of a download; the partial file grows from `transfer.offset`.
    void fetch(Transfer& transfer, const Progress& progress, const std::stop_token& stop);
    void acquire(const std::string& host);
    void release(const std::string& host);

    const HostPolicy policy_;
    const PinnedTrust trust_;
    const PinnedCurl::Routing routing_;
    const Limits limits_;
    std::mutex slotsLock_;
    std::condition_variable slotFreed_;
    std::map<std::string, int> busy_; // open transfers per host, guarded by slotsLock_
};

} // namespace ostrel
