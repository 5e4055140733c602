// Product images from a real HTTPS server on 127.0.0.1, kept in memory and in real files.
#include "Catalog/ImageDataCache.h"
#include "Catalog/PlainImageTransport.h"
#include "CatalogTestServer.h"
#include "Services/CurlTransport.h"

#include <future>
#include <latch>
#include <mutex>

#include <gtest/gtest.h>

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::CatalogTestServer;
using Bytes = ImageDataCache::Bytes;
using Clock = ImageDataCache::Clock;

constexpr const char* web = CatalogTestServer::web;
constexpr const char* assets = CatalogTestServer::assets;

Url image(const std::string& host, const std::string& path) {
    return Url(CatalogTestServer::url(host, path));
}

Url numbered(int number) {
    return image(web, "/images/" + std::to_string(number) + ".png");
}

std::string text(const Bytes& bytes) {
    return bytes ? *bytes : "<none>";
}

struct Fixture {
    CatalogTestServer server;
    fs::path folder = server.dir() / "images";
    std::shared_ptr<HTTPTransport> pinned;
    std::shared_ptr<HTTPTransport> plain;

    Fixture() {
        fs::create_directory(folder);
        server.routes().Get(R"(/images/(\d+)\.png)", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content("image " + request.matches[1].str(), "image/png");
        });
    }
    void serve(const std::string& path, int status, const std::string& body) {
        server.routes().Get(path, [=](const httplib::Request&, httplib::Response& response) {
            response.status = status;
            response.set_content(body, "image/png");
        });
    }
    void start(const ServiceConfig& config) {
        server.start();
        pinned = std::make_shared<CurlTransport>(config.pinnedTrust(), CurlTransport::Options::from(config));
        plain = std::make_shared<PlainImageTransport>(CurlTransport::Options::from(config));
    }
    void start() { start(server.config()); }
    std::unique_ptr<ImageDataCache> cache(std::optional<fs::path> directory, Clock::time_point now = Clock::now()) {
        const auto& config = server.config();
        return std::make_unique<ImageDataCache>(std::move(directory), config.hostPolicy(), config.pinnedTrust(), pinned,
                                                plain, now);
    }
    fs::path fileOf(const Url& url) const { return folder / ImageDataCache::key(url); }
};

TEST(ImageDataCache, AnAddressOutsideTheImageRuleTouchesNeitherDiskNorNetwork) {
    Fixture f;
    f.start();
    const auto cache = f.cache(f.folder);
    for (const auto& address :
         {CatalogTestServer::url(CatalogTestServer::stranger, "/images/1.png"),
          std::string("https://ostrel.test:8443/images/1.png"), std::string("https://me@ostrel.test/images/1.png"),
          std::string("https://me:pw@ostrel.test/images/1.png"), std::string("http://ostrel.test/images/1.png"),
          std::string("https://sub.ostrel.test/images/1.png"),
          CatalogTestServer::url(f.server.config().storeApiHost, "/images/1.png")}) {
        const Url url(address);
        test::writeFile(f.fileOf(url), "stored image");
        EXPECT_EQ(cache->data(url), nullptr) << address;
    }
    EXPECT_EQ(f.server.requests(), 0);
}

TEST(ImageDataCache, ConcurrentRequestsForOneAddressShareOneDownload) {
    std::promise<void> arrived;
    std::once_flag firstArrival;
    std::promise<void> open;
    const std::shared_future<void> gate = open.get_future().share();
    Fixture f;
    f.server.routes().Get("/shared.png", [&](const httplib::Request&, httplib::Response& response) {
        std::call_once(firstArrival, [&] { arrived.set_value(); });
        gate.wait();
        response.set_content("shared image", "image/png");
    });
    f.start();
    const auto cache = f.cache(f.folder);
    const auto url = image(web, "/shared.png");

    constexpr int callers = 20;
    std::latch ready(callers);
    std::vector<std::future<Bytes>> results;
    for (int i = 0; i < callers; ++i)
        results.push_back(std::async(std::launch::async, [&] {
            ready.arrive_and_wait();
            return cache->data(url);
        }));
    // The download stays open until the server has it, so the other callers find it under way.
    const bool reached = arrived.get_future().wait_for(60s) == std::future_status::ready;
    open.set_value();
    ASSERT_TRUE(reached);
    std::vector<Bytes> received;
    for (auto& result : results)
        received.push_back(result.get());

    EXPECT_EQ(f.server.requests(web, "/shared.png"), 1);
    for (const auto& bytes : received) {
        EXPECT_EQ(text(bytes), "shared image");
        EXPECT_EQ(bytes, received.front()); // one download, one copy of its bytes
    }
    EXPECT_EQ(cache->data(url), received.front());
    EXPECT_EQ(f.server.requests(), 1);
}

TEST(ImageDataCache, ImagesUpToEightMebibytesAreKept) {
    Fixture f;
    const std::string largest(ImageDataCache::maxBytes, 'x');
    f.serve("/largest.png", 200, largest);
    f.serve("/too-large.png", 200, largest + "x");
    f.start();
    const auto cache = f.cache(f.folder);

    const auto kept = cache->data(image(web, "/largest.png"));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->size(), ImageDataCache::maxBytes);
    EXPECT_EQ(fs::file_size(f.fileOf(image(web, "/largest.png"))), ImageDataCache::maxBytes);

    EXPECT_EQ(cache->data(image(web, "/too-large.png")), nullptr);
    EXPECT_FALSE(fs::exists(f.fileOf(image(web, "/too-large.png"))));
    // A failure is not remembered: the next call asks again.
    EXPECT_EQ(cache->data(image(web, "/too-large.png")), nullptr);
    EXPECT_EQ(f.server.requests(web, "/too-large.png"), 2);
}

TEST(ImageDataCache, OnlyANonEmptyAnswerWithStatus200IsAnImage) {
    Fixture f;
    f.serve("/empty.png", 200, "");
    f.serve("/missing.png", 404, "not here");
    f.serve("/accepted.png", 202, "not yet");
    for (const auto& [path, status] : {std::pair{"/moved.png", 301}, std::pair{"/found.png", 302}})
        f.server.routes().Get(path, [status](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("https://ostrel.test/images/1.png", status);
        });
    f.start();
    const auto cache = f.cache(f.folder);
    for (const char* path : {"/empty.png", "/missing.png", "/accepted.png", "/moved.png", "/found.png"}) {
        EXPECT_EQ(cache->data(image(web, path)), nullptr) << path;
        EXPECT_FALSE(fs::exists(f.fileOf(image(web, path)))) << path;
        EXPECT_EQ(cache->data(image(web, path)), nullptr) << path;
        EXPECT_EQ(f.server.requests(web, path), 2) << path;
    }
    EXPECT_EQ(f.server.requests(web, "/images/1.png"), 0); // no redirect is followed
}

TEST(ImageDataCache, MemoryKeepsTheLast120StoredFirstInFirstOut) {
    Fixture f;
    f.start();
    const auto cache = f.cache(std::nullopt); // memory only: every miss is a request
    const int limit = static_cast<int>(ImageDataCache::memoryLimit);
    for (int i = 1; i <= limit; ++i)
        ASSERT_EQ(text(cache->data(numbered(i))), "image " + std::to_string(i));
    EXPECT_EQ(text(cache->data(numbered(1))), "image 1"); // a memory hit does not keep it longer
    EXPECT_EQ(f.server.requests(), limit);
    ASSERT_EQ(text(cache->data(numbered(limit + 1))), "image " + std::to_string(limit + 1));

    for (int i = 2; i <= limit + 1; ++i)
        EXPECT_EQ(text(cache->data(numbered(i))), "image " + std::to_string(i));
    EXPECT_EQ(f.server.requests(), limit + 1);
    EXPECT_EQ(text(cache->data(numbered(1))), "image 1");
    EXPECT_EQ(f.server.requests(web, "/images/1.png"), 2);
}

TEST(ImageDataCache, FilesOlderThan30DaysArePrunedWhenTheCacheIsBuilt) {
    Fixture f;
    f.start();
    const Clock::time_point now = std::chrono::sys_days{std::chrono::January / 31 / 2026} + 9h;
    const auto writtenAgo = [&](const fs::path& file, Clock::duration age) {
        test::writeFile(file, "stored " + file.filename().string());
        fs::last_write_time(file, std::chrono::file_clock::from_sys(now - age));
    };
    writtenAgo(f.fileOf(numbered(31)), 24h * 31);
    writtenAgo(f.fileOf(numbered(30)), ImageDataCache::maxAge);
    writtenAgo(f.fileOf(numbered(29)), 24h * 29);
    writtenAgo(f.folder / ".hidden", ImageDataCache::maxAge + 1s);
    writtenAgo(f.folder / "old-folder" / "inside", 24h);
    fs::last_write_time(f.folder / "old-folder", std::chrono::file_clock::from_sys(now - 24h * 40));

    const auto cache = f.cache(f.folder, now);
    EXPECT_FALSE(fs::exists(f.fileOf(numbered(31))));
    EXPECT_FALSE(fs::exists(f.folder / ".hidden"));
    EXPECT_FALSE(fs::exists(f.folder / "old-folder"));
    EXPECT_EQ(f.server.requests(), 0);

    // Younger files are served as stored, without a request; the pruned one is fetched again.
    EXPECT_EQ(text(cache->data(numbered(29))), "stored " + ImageDataCache::key(numbered(29)));
    EXPECT_EQ(text(cache->data(numbered(30))), "stored " + ImageDataCache::key(numbered(30)));
    EXPECT_EQ(f.server.requests(), 0);
    EXPECT_EQ(text(cache->data(numbered(31))), "image 31");
    EXPECT_EQ(f.server.requests(web, "/images/31.png"), 1);
    EXPECT_EQ(test::readFile(f.fileOf(numbered(31))), "image 31");

    // A missing folder is no error.
    EXPECT_NO_THROW(ImageDataCache::prune(f.folder / "missing", now));
}

TEST(ImageDataCache, AFileLargerThanAnyImageIsFetchedAgainAndReplaced) {
    Fixture f;
    f.start();
    const auto cache = f.cache(f.folder);
    test::writeFile(f.fileOf(numbered(1)), std::string(ImageDataCache::maxBytes + 1, 'x'));
    test::writeFile(f.fileOf(numbered(2)), std::string(ImageDataCache::maxBytes, 'x'));
    EXPECT_EQ(text(cache->data(numbered(1))), "image 1");
    EXPECT_EQ(test::readFile(f.fileOf(numbered(1))), "image 1");
    EXPECT_EQ(cache->data(numbered(2))->size(), ImageDataCache::maxBytes);
    EXPECT_EQ(f.server.requests(), 1);
}

TEST(ImageDataCache, WithoutAFolderImagesComeFromMemoryAndTheNetwork) {
    Fixture f;
    f.start();
    const auto cache = f.cache(std::nullopt);
    EXPECT_EQ(text(cache->data(numbered(1))), "image 1");
    EXPECT_EQ(text(cache->data(numbered(1))), "image 1");
    EXPECT_EQ(f.server.requests(), 1);
    EXPECT_TRUE(fs::is_empty(f.folder));
}

TEST(ImageDataCache, TheFileNameIsTheHexSha256OfTheAddress) {
    EXPECT_EQ(ImageDataCache::key(Url("https://ostrel.audio/images/a.png")),
              "fac503cb2b4352d1b72be54704b8a9142c13b571ab7f594afb0e6ba969e37524.img");
    EXPECT_NE(ImageDataCache::key(Url("https://ostrel.audio/images/a.png?v=2")),
              ImageDataCache::key(Url("https://ostrel.audio/images/a.png")));
}

TEST(ImageDataCache, PinnedHostsGoThroughThePinnedTransportOthersThroughThePlainOne) {
    Fixture f;
    const auto stranger = fixtures::makeTlsChain(f.server.dir() / "stranger", {.hostNames = {web, assets}});
    auto wrongPins = f.server.config();
    wrongPins.identityPins = {stranger.rootPin};
    f.start(wrongPins);
    const auto cache = f.cache(f.folder);
    // The web host has pins, and the pinned transport refuses the server's chain.
    EXPECT_EQ(cache->data(numbered(1)), nullptr);
    // The asset host has none: the authorities alone decide.
    EXPECT_EQ(text(cache->data(image(assets, "/images/2.png"))), "image 2");
    EXPECT_EQ(f.server.requests(assets, "/images/2.png"), 1);

    // The plain transport still checks the chain against the authorities it trusts.
    auto otherAuthority = f.server.config();
    otherAuthority.caBundle = stranger.root;
    f.plain = std::make_shared<PlainImageTransport>(CurlTransport::Options::from(otherAuthority));
    EXPECT_EQ(f.cache(std::nullopt)->data(image(assets, "/images/3.png")), nullptr);
    EXPECT_EQ(f.server.requests(assets, "/images/3.png"), 0);
}

TEST(ImageDataCache, TheStandardCacheKeepsImagesInTheHubsCachesFolder) {
    Fixture f;
    f.start();
    const auto cache = ImageDataCache::standard(f.server.config());
    EXPECT_EQ(text(cache->data(numbered(1))), "image 1");
    EXPECT_EQ(text(cache->data(image(assets, "/images/2.png"))), "image 2");

    const auto folder = fs::path(std::getenv("XDG_CACHE_HOME")) / "com.ostrel.hub" / "images";
    EXPECT_EQ(test::readFile(folder / ImageDataCache::key(numbered(1))), "image 1");
    EXPECT_EQ(test::readFile(folder / ImageDataCache::key(image(assets, "/images/2.png"))), "image 2");
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::mask, fs::perms::owner_all);
}

} // namespace
} // namespace ostrel
