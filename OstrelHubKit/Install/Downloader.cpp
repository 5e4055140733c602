#include "Install/Downloader.h"

#include "Install/DownloadError.h"
#include "Install/ResumeData.h"
#include "Services/MoonbaseError.h"
#include "Util/Log.h"
#include "Util/Text.h"
#include "Util/UniqueFd.h"

#include <array>
#include <charconv>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrel {
namespace fs = std::filesystem;

// One download as it moves through its requests. The callbacks below fill it
// in; they run inside libcurl, so nothing may throw out of them: a refusal is
// noted here and the transfer ended.
struct Downloader::Transfer {
    explicit Transfer(Url address) : url(std::move(address)) {}

    Url url;
    fs::path partial;
    int64_t maxBytes = 0;
    int64_t offset = 0;      // bytes kept from an earlier attempt, asked for with Range
    std::string validator;   // If-Range for those bytes; then the answer's own
    int64_t savedTotal = -1; // the total the kept bytes belong to
    UniqueFd file;
    const Progress* progress = nullptr;
    const std::stop_token* stop = nullptr;

    // Of the answer being read.
    long status = 0;
    std::optional<std::string> location;
    std::optional<std::string> contentRange;
    std::optional<std::string> etag;
    std::optional<std::string> lastModified;
    int64_t contentLength = -1;
    int64_t announced = -1; // the whole file's size, as the server tells it
    int64_t written = 0;    // bytes in the partial file
    bool startOver = false; // a partial answer that does not continue our bytes
    std::optional<DownloadError> refusal;

    bool success() const { return status >= 200 && status <= 299; }
    void newAnswer() {
        status = 0;
        location.reset();
        contentRange.reset();
        etag.reset();
        lastModified.reset();
        contentLength = -1;
    }
};

namespace {

std::optional<int64_t> number(std::string_view text) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

// "bytes 100-199/1000" → (100, 1000); anything else, or an unknown total, → nothing.
std::optional<std::pair<int64_t, int64_t>> parseContentRange(std::string_view value) {
    if (!value.starts_with("bytes "))
        return std::nullopt;
    value.remove_prefix(6);
    const auto dash = value.find('-');
    const auto slash = value.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || dash > slash)
        return std::nullopt;
    const auto first = number(value.substr(0, dash));
    const auto total = number(value.substr(slash + 1));
    if (!first || !total)
        return std::nullopt;
    return std::pair{*first, *total};
}

bool truncate(Downloader::Transfer& transfer) {
    transfer.written = 0;
    transfer.offset = 0;
    return ::ftruncate(transfer.file.get(), 0) == 0;
}

// Once the headers of a 2xx answer are in: does the body continue our bytes,
// start over, or break the size the store published?
bool judgeAnswer(Downloader::Transfer& t) {
    if (t.status == 206) {
        const auto range = t.contentRange ? parseContentRange(*t.contentRange) : std::nullopt;
        if (t.offset == 0 || !range || range->first != t.offset ||
            (t.savedTotal >= 0 && range->second != t.savedTotal)) {
            t.startOver = true; // never join bytes of two different files
            return false;
        }
        t.announced = range->second;
    } else {
        if (t.offset > 0 && !truncate(t))
            return false;
        t.announced = t.contentLength;
    }
    if (t.announced > t.maxBytes) {
        t.refusal = DownloadError::tooLarge();
        return false;
    }
    t.validator = t.etag && !t.etag->starts_with("W/") ? *t.etag : t.lastModified.value_or("");
    return true;
}

size_t onHeader(char* data, size_t size, size_t count, void* argument) noexcept {
    auto& t = *static_cast<Downloader::Transfer*>(argument);
    const std::string_view line(data, size * count);
    try {
        if (line.starts_with("HTTP/")) {
            t.newAnswer();
            const auto space = line.find(' ');
            t.status = space == std::string_view::npos ? 0 : number(line.substr(space + 1, 3)).value_or(0);
            return line.size();
        }
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) {
            // The blank line that ends the headers.
            return (t.success() && !judgeAnswer(t)) ? 0 : line.size();
        }
        const auto name = Text::asciiLowercase(Text::trimmedAscii(line.substr(0, colon)));
        const std::string value(Text::trimmedAscii(line.substr(colon + 1)));
        if (name == "location")
            t.location = value;
        else if (name == "content-range")
            t.contentRange = value;
        else if (name == "etag")
            t.etag = value;
        else if (name == "last-modified")
            t.lastModified = value;
        else if (name == "content-length")
            t.contentLength = number(value).value_or(-1);
        return line.size();
    } catch (...) {
        return 0;
    }
}

// The body of an answer that is not a success never reaches the file.
size_t onBody(char* data, size_t size, size_t count, void* argument) noexcept {
    auto& t = *static_cast<Downloader::Transfer*>(argument);
    const auto length = static_cast<int64_t>(size * count);
    if (!t.success())
        return size * count;
    if (t.written + length > t.maxBytes) {
        t.refusal = DownloadError::tooLarge();
        return 0;
    }
    for (size_t done = 0; done < size * count;) {
        const ssize_t n =
            ::pwrite(t.file.get(), data + done, size * count - done, t.written + static_cast<int64_t>(done));
        if (n <= 0)
            return 0;
        done += static_cast<size_t>(n);
    }
    t.written += length;
    try {
        if (*t.progress)
            (*t.progress)(t.written, t.announced);
    } catch (...) {
        return 0;
    }
    return size * count;
}

// libcurl calls this at least once a second; non-zero ends the transfer.
int onTick(void* argument, curl_off_t, curl_off_t, curl_off_t, curl_off_t) noexcept {
    return static_cast<const Downloader::Transfer*>(argument)->stop->stop_requested() ? 1 : 0;
}

} // namespace

Downloader::Downloader(HostPolicy policy, PinnedTrust trust, PinnedCurl::Routing routing)
    : Downloader(std::move(policy), std::move(trust), std::move(routing), Limits{}) {}

Downloader::Downloader(HostPolicy policy, PinnedTrust trust, PinnedCurl::Routing routing, Limits limits)
    : policy_(std::move(policy)), trust_(std::move(trust)), routing_(std::move(routing)), limits_(limits) {}

void Downloader::acquire(const std::string& host) {
    std::unique_lock lock(slotsLock_);
    slotFreed_.wait(lock, [&] { return busy_[host] < limits_.connectionsPerHost; });
    ++busy_[host];
}

void Downloader::release(const std::string& host) {
    {
        std::lock_guard lock(slotsLock_);
        --busy_[host];
    }
    slotFreed_.notify_all();
}

void Downloader::fetch(Transfer& t, const Progress& progress, const std::stop_token& stop) {
    const std::string host = t.url.host().value_or("");
    acquire(host);
    struct Slot {
        Downloader& owner;
        const std::string& host;
        ~Slot() { owner.release(host); }
    } slot{*this, host};

    t.progress = &progress;
    t.stop = &stop;
    t.startOver = false;
    PinnedCurl::Connection connection{&trust_, host};
    auto easy = PinnedCurl::newEasy();
    CURL* e = easy.get();
    const auto connectTo = PinnedCurl::connectList(routing_.connectTo);
    PinnedCurl::applyRules(e, routing_, connectTo.get(), connection);
    PinnedCurl::ListPtr headers;
    PinnedCurl::append(headers, "Accept:");
    if (t.offset > 0) {
        PinnedCurl::append(headers, "Range: bytes=" + std::to_string(t.offset) + "-");
        PinnedCurl::append(headers, "If-Range: " + t.validator);
    }
    const auto url = t.url.withoutCredentials().text();
    std::array<char, CURL_ERROR_SIZE> errorText{};
    PinnedCurl::set(e, CURLOPT_URL, url.c_str(), host);
    PinnedCurl::set(e, CURLOPT_HTTPHEADER, headers.get(), host);
    PinnedCurl::set(e, CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits_.withoutProgress.count()), host);
    PinnedCurl::set(e, CURLOPT_LOW_SPEED_LIMIT, 1L, host);
    PinnedCurl::set(e, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits_.withoutProgress.count()), host);
    PinnedCurl::set(e, CURLOPT_TIMEOUT, static_cast<long>(limits_.whole.count()), host);
    PinnedCurl::set(e, CURLOPT_HEADERFUNCTION, onHeader, host);
    PinnedCurl::set(e, CURLOPT_HEADERDATA, static_cast<void*>(&t), host);
    PinnedCurl::set(e, CURLOPT_WRITEFUNCTION, onBody, host);
    PinnedCurl::set(e, CURLOPT_WRITEDATA, static_cast<void*>(&t), host);
    PinnedCurl::set(e, CURLOPT_NOPROGRESS, 0L, host);
    PinnedCurl::set(e, CURLOPT_XFERINFOFUNCTION, onTick, host);
    PinnedCurl::set(e, CURLOPT_XFERINFODATA, static_cast<void*>(&t), host);
    PinnedCurl::set(e, CURLOPT_ERRORBUFFER, errorText.data(), host);

    const CURLcode code = curl_easy_perform(e);
    if (code == CURLE_OK || t.startOver)
        return;
    if (t.refusal)
        throw *t.refusal;
    if (code == CURLE_ABORTED_BY_CALLBACK && stop.stop_requested()) {
        if (t.written > 0 && !t.validator.empty())
            throw DownloadInterrupted(
                ResumeData{t.url.text(), t.partial.filename().string(), t.written, t.validator, t.announced}.encode());
        throw DownloadInterrupted(std::nullopt);
    }
    const std::string detail = errorText[0] ? errorText.data() : curl_easy_strerror(code);
    Log::error(Log::Category::network, "download from " + host + t.url.path() + ": " + detail);
    throw TransportError(PinnedCurl::errorKind(code), host, detail);
}

fs::path Downloader::download(const Url& url, const std::optional<std::string>& resumeData, const fs::path& destination,
                              int64_t maxBytes, const Progress& progress, std::stop_token stop) {
    if (!policy_.allowsDownload(url))
        throw MoonbaseError::blockedURL(url.text());
    const fs::path folder = destination.parent_path();
    Transfer t{url};
    t.partial = folder / (destination.filename().string() + ".partial");
    t.maxBytes = maxBytes;
    if (const auto saved = resumeData ? ResumeData::decode(*resumeData, folder) : std::nullopt) {
        const auto savedUrl = Url::parse(saved->url);
        std::error_code error;
        const fs::path partial = folder / saved->partialName;
        if (savedUrl && policy_.allowsDownload(*savedUrl) &&
            static_cast<int64_t>(fs::file_size(partial, error)) == saved->received && !error) {
            t.url = *savedUrl;
            t.partial = partial;
            t.offset = t.written = saved->received;
            t.validator = saved->validator;
            t.savedTotal = t.announced = saved->total;
        }
    }
    t.file = UniqueFd(::open(t.partial.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (t.offset > 0 ? 0 : O_TRUNC), 0600));
    if (!t.file)
        throw fs::filesystem_error("could not create the download file", t.partial,
                                   std::error_code(errno, std::generic_category()));
    // Whatever ends the download other than a pause takes the partial file with it.
    struct Cleanup {
        const fs::path& partial;
        bool keep = false;
        ~Cleanup() {
            if (!keep)
                ::unlink(partial.c_str());
        }
    } cleanup{t.partial};

    for (int hops = 0;; ++hops) {
        try {
            fetch(t, progress, stop);
        } catch (const DownloadInterrupted& interrupted) {
            cleanup.keep = interrupted.resumeData().has_value();
            throw;
        }
        if (t.startOver) {
            Log::info(Log::Category::network, "the server's copy changed; downloading it again from the start");
            if (!truncate(t) || hops > limits_.redirects)
                throw DownloadError::httpStatus(static_cast<int>(t.status));
            t.validator.clear();
            t.savedTotal = -1;
            continue;
        }
        if (t.status >= 300 && t.status <= 399) {
            const auto next = t.location ? t.url.resolved(*t.location) : std::nullopt;
            if (!next || !policy_.allowsDownload(*next))
                throw DownloadError::insecureRedirect(next ? next->text() : t.location.value_or(""));
            if (hops >= limits_.redirects)
                throw DownloadError::httpStatus(static_cast<int>(t.status));
            t.url = *next;
            continue;
        }
        if (!t.success())
            throw DownloadError::httpStatus(static_cast<int>(t.status));
        break;
    }
    if (::fsync(t.file.get()) != 0 || ::fchmod(t.file.get(), 0600) != 0)
        throw fs::filesystem_error("could not finish the download file", t.partial,
                                   std::error_code(errno, std::generic_category()));
    t.file.reset();
    fs::rename(t.partial, destination);
    cleanup.keep = true;
    return destination;
}

} // namespace ostrel
