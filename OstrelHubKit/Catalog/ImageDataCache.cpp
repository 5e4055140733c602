#include "Catalog/ImageDataCache.h"

#include "Catalog/PlainImageTransport.h"
#include "Install/AppDirectories.h"
#include "Services/CurlTransport.h"
#include "Services/ServiceConfig.h"
#include "Util/AtomicFile.h"

#include <array>
#include <cstdio>
#include <stdexcept>
#include <system_error>

#include <openssl/evp.h>

namespace ostrel {

namespace fs = std::filesystem;

namespace {

// Image files are not private data: ordinary permissions, inside the owner-only folder.
constexpr auto imageFilePermissions =
    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;

std::optional<fs::path> imagesFolder() {
    try {
        return AppDirectories::cache("images");
    } catch (const fs::filesystem_error&) {
        return std::nullopt; // memory only
    }
}

} // namespace

ImageDataCache::ImageDataCache(std::optional<fs::path> directory, HostPolicy policy, PinnedTrust trust,
                               std::shared_ptr<HTTPTransport> pinned, std::shared_ptr<HTTPTransport> plain,
                               Clock::time_point now)
    : directory_(std::move(directory)), policy_(std::move(policy)), trust_(std::move(trust)),
      pinned_(std::move(pinned)), plain_(std::move(plain)) {
    if (directory_)
        prune(*directory_, now);
}

ImageDataCache& ImageDataCache::shared() {
    static const std::unique_ptr<ImageDataCache> cache = standard(ServiceConfig::production());
    return *cache;
}

std::unique_ptr<ImageDataCache> ImageDataCache::standard(const ServiceConfig& config) {
    const auto options = CurlTransport::Options::from(config);
    auto trust = config.pinnedTrust();
    auto pinned = std::make_shared<CurlTransport>(trust, options);
    return std::make_unique<ImageDataCache>(imagesFolder(), config.hostPolicy(), std::move(trust), std::move(pinned),
                                            std::make_shared<PlainImageTransport>(options));
}

ImageDataCache::Bytes ImageDataCache::data(const Url& url) {
    if (!policy_.allowsImage(url))
        return nullptr;
    const auto address = url.text();
    std::promise<Bytes> download;
    {
        std::unique_lock guard(lock_);
        if (const auto hit = memory_.find(address); hit != memory_.end())
            return hit->second;
        if (const auto flight = inFlight_.find(address); flight != inFlight_.end()) {
            const auto shared = flight->second;
            guard.unlock();
            return shared.get(); // the download's starter does the bookkeeping
        }
        inFlight_.emplace(address, download.get_future().share());
    }
    Bytes bytes;
    try {
        bytes = load(url);
    } catch (const std::exception&) {
        bytes = nullptr; // no image; the next call tries again
    }
    finish(address, bytes);
    download.set_value(bytes);
    return bytes;
}

void ImageDataCache::finish(const std::string& address, const Bytes& bytes) {
    std::lock_guard guard(lock_);
    inFlight_.erase(address);
    if (bytes)
        remember(address, bytes);
}

void ImageDataCache::remember(const std::string& address, Bytes bytes) {
    if (!memory_.contains(address))
        order_.push_back(address);
    memory_[address] = std::move(bytes);
    // First in, first out: reading an image does not keep it longer.
    while (order_.size() > memoryLimit) {
        memory_.erase(order_.front());
        order_.pop_front();
    }
}

ImageDataCache::Bytes ImageDataCache::load(const Url& url) const {
    const auto file = directory_ ? std::optional(*directory_ / key(url)) : std::nullopt;
    // Only files of at most maxBytes are ours; anything larger is fetched again and replaced.
    if (file)
        if (auto stored = AtomicFile::read(*file, maxBytes))
            return std::make_shared<const std::string>(std::move(*stored));
    auto fetched = fetch(url);
    if (fetched && file) {
        try {
            AtomicFile::write(*file, *fetched, imageFilePermissions);
        } catch (const fs::filesystem_error&) {
            // kept in memory only; the next start fetches it again
        }
    }
    return fetched;
}

ImageDataCache::Bytes ImageDataCache::fetch(const Url& url) const {
    HTTPTransport& transport = trust_.pinned(url.host().value_or("")) ? *pinned_ : *plain_;
    HTTPRequest request{.url = url, .timeout = timeout};
    request.maxBodyBytes = maxBytes;
    HTTPResponse response;
    try {
        response = transport.send(request);
    } catch (const std::exception&) {
        return nullptr;
    }
    if (response.status != 200 || response.body.empty() || response.body.size() > maxBytes)
        return nullptr;
    return std::make_shared<const std::string>(std::move(response.body));
}

std::string ImageDataCache::key(const Url& url) {
    const auto text = url.text();
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_Digest(text.data(), text.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available");
    std::string name;
    name.reserve(length * 2 + 4);
    for (unsigned int i = 0; i < length; ++i) {
        std::array<char, 3> pair{};
        std::snprintf(pair.data(), pair.size(), "%02x", digest[i]);
        name.append(pair.data(), 2);
    }
    return name + ".img";
}

void ImageDataCache::prune(const fs::path& directory, Clock::time_point now) {
    const auto cutoff = now - maxAge;
    std::error_code error;
    for (fs::directory_iterator entry(directory, error), end; !error && entry != end; entry.increment(error)) {
        std::error_code unreadable;
        const auto written = entry->last_write_time(unreadable);
        if (unreadable)
            continue; // no date: left alone
        if (std::chrono::file_clock::to_sys(written) < cutoff) {
            std::error_code ignored;
            fs::remove_all(entry->path(), ignored);
        }
    }
}

} // namespace ostrel
