#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::demo {

// Ways the download host can misbehave, for tests of the downloader and the install engine.
enum class DownloadFault {
    none,
    wrongSize,    // "wrong-size": the file is served with 4096 bytes more than the store published
    slow,         // "slow": the body trickles out in small pieces with pauses
    httpRedirect, // "http-redirect": a redirect to the same file over plain http
    notFound,     // "not-found": 404
    drop,         // "drop": the connection closes halfway through the body
    ignoreRange,  // "ignore-range": a request for a range gets the whole file with 200
    changeFile,   // "change-file": the release is remade (new bytes, new validators) before the answer
    stall,        // "stall": the body stops halfway and the connection stays open, sending nothing
};

std::optional<DownloadFault> downloadFaultFromName(std::string_view name);
std::string_view nameOf(DownloadFault fault);
// Every fault's name, for messages: "none, wrong-size, slow, ...".
std::string downloadFaultNames();

// The fault set through the control address, for downloads that do not name their own with
// "?fault=". It applies to the next `count` downloads, or to all of them when no count is given.
class DownloadFaults {
public:
    void set(DownloadFault fault, std::optional<int> count);
    // The fault for one download, using up one of the count.
    DownloadFault take();
    std::string describe() const;

private:
    mutable std::mutex lock_;
    DownloadFault fault_ = DownloadFault::none; // guarded by lock_
    std::optional<int> remaining_;              // guarded by lock_
};

} // namespace ostrel::demo
