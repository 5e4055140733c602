// The catalog's hot paths: decoding a storefront of 10,000 products from the store's JSON and
// loading it back from its snapshot (target: at most 100 ms each), saving that snapshot, and
// image-cache hits from memory and from disk (target: at most 0.05 ms per hit).
#include "Catalog/ImageDataCache.h"
#include "Catalog/SnapshotCache.h"
#include "Services/Storefront.h"
#include "Util/AtomicFile.h"

#include <filesystem>
#include <stdexcept>

#include <benchmark/benchmark.h>

#include <unistd.h>

namespace {

using namespace ostrel;
namespace fs = std::filesystem;

constexpr int productCount = 10'000;
constexpr int imageCount = 200; // more than the memory holds, so a cycle through them always misses
constexpr size_t imageSize = 64 * 1024;

PricingVariation variation(const std::string& id, double price) {
    return {.id = id,
            .name = "Edition " + id,
            .originalPrice = {{"USD", price}, {"EUR", price * 0.92}, {"GBP", price * 0.79}},
            .price = {{"USD", price * 0.8}, {"EUR", price * 0.74}, {"GBP", price * 0.63}},
            .hasDiscount = true,
            .recurrence = {.type = "OneOff", .cycleLength = std::nullopt}};
}

StorefrontProduct product(int number) {
    const auto id = "product-" + std::to_string(number);
    return {
        .id = id,
        .name = "Product " + std::to_string(number),
        .tagline = "A plug-in that does one thing well, number " + std::to_string(number),
        .description = std::string(240, 'd'),
        .iconUrl = "https://assets.shop.test/" + id + "/icon.png",
        .website = "https://ostrel.test/products/" + id,
        .owned = number % 3 == 0,
        .currentVersion = "2." + std::to_string(number % 10) + ".1",
        .downloads = {{{.name = id + ".pkg", .key = id + "/mac", .platform = Platform::mac, .size = 84'000'000},
                       {.name = id + ".exe", .key = id + "/win", .platform = Platform::windows, .size = 91'000'000}}},
        .defaultVariation = variation(id + "-std", 49 + number % 50),
        .variations = {{variation(id + "-std", 49 + number % 50), variation(id + "-pro", 99 + number % 50)}}};
}

const Storefront& storefront() {
    static const Storefront value = [] {
        Storefront made{.suggestedCurrency = "USD", .enabledCurrencies = {{"USD", "EUR", "GBP"}}};
        for (int i = 0; i < productCount; ++i)
            made.products.push_back(product(i));
        return made;
    }();
    return value;
}

// A fresh folder for the run, removed at the end.
struct Folder {
    fs::path path = fs::temp_directory_path() / ("ostrel-catalog-bench-" + std::to_string(::getpid()));
    Folder() { fs::create_directories(path); }
    ~Folder() { fs::remove_all(path); }
};

void DecodeStorefront(benchmark::State& state) {
    const std::string json = nlohmann::json(storefront()).dump();
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeJsonText<Storefront>(json));
    state.counters["bytes"] = static_cast<double>(json.size());
}
BENCHMARK(DecodeStorefront)->Unit(benchmark::kMillisecond);

void LoadStorefrontSnapshot(benchmark::State& state) {
    const Folder folder;
    const SnapshotCache cache{folder.path};
    cache.save(storefront(), "storefront");
    for (auto _ : state) {
        auto loaded = cache.load<Storefront>("storefront");
        if (!loaded)
            throw std::runtime_error("the snapshot did not load");
        benchmark::DoNotOptimize(loaded);
    }
    state.counters["bytes"] = static_cast<double>(fs::file_size(cache.file("storefront")));
}
BENCHMARK(LoadStorefrontSnapshot)->Unit(benchmark::kMillisecond);

void SaveStorefrontSnapshot(benchmark::State& state) {
    const Folder folder;
    const SnapshotCache cache{folder.path};
    for (auto _ : state)
        cache.save(storefront(), "storefront");
    state.counters["bytes"] = static_cast<double>(fs::file_size(cache.file("storefront")));
}
BENCHMARK(SaveStorefrontSnapshot)->Unit(benchmark::kMillisecond);

// Every hit is served before the network: a request would be a fault of the benchmark.
class NoNetwork : public HTTPTransport {
public:
    HTTPResponse send(const HTTPRequest&) override { throw std::logic_error("the image cache asked the network"); }
};

Url imageUrl(int number) {
    return Url("https://ostrel.test/images/" + std::to_string(number) + ".png");
}

std::unique_ptr<ImageDataCache> cacheWithImages(const fs::path& folder) {
    for (int i = 0; i < imageCount; ++i)
        AtomicFile::write(folder / ImageDataCache::key(imageUrl(i)), std::string(imageSize, static_cast<char>(i)));
    const HostPolicy policy{.apiHost = "shop.test", .assetHosts = {"ostrel.test"}, .downloadDomains = {}};
    return std::make_unique<ImageDataCache>(folder, policy, PinnedTrust{}, std::make_shared<NoNetwork>(),
                                            std::make_shared<NoNetwork>());
}

void ImageMemoryHit(benchmark::State& state) {
    const Folder folder;
    const auto cache = cacheWithImages(folder.path);
    const auto url = imageUrl(0);
    cache->data(url); // from disk into memory
    for (auto _ : state)
        benchmark::DoNotOptimize(cache->data(url));
}
BENCHMARK(ImageMemoryHit)->Unit(benchmark::kMicrosecond);

void ImageDiskHit(benchmark::State& state) {
    const Folder folder;
    const auto cache = cacheWithImages(folder.path);
    int next = 0;
    for (auto _ : state) {
        // First in, first out over more images than memory holds: each one was evicted since.
        benchmark::DoNotOptimize(cache->data(imageUrl(next)));
        next = (next + 1) % imageCount;
    }
}
BENCHMARK(ImageDiskHit)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
