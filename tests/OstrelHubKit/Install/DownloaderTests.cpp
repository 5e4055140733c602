// The downloader against a real HTTPS server on 127.0.0.1 that presents a chain made for the
// test; addresses keep their real host names and reach it through the connect-to map.
#include "Install/DownloadError.h"
#include "Install/Downloader.h"
#include "Install/ResumeData.h"
#include "LocalHttpsServer.h"
#include "Refusal.h"
#include "Services/MoonbaseError.h"
#include "TempDir.h"
#include "TlsChains.h"

#include <atomic>
#include <thread>

#include <gmock/gmock.h>

#include <sys/stat.h>

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using test::Seen;

// A release file with a strong validator that honours Range and If-Range like a real object store.
struct FileServer {
    test::TempDir dir;
    fixtures::TlsChain chain =
        fixtures::makeTlsChain(dir / "tls", {.hostNames = {"dl.files.demo.test", "cdn.files.demo.test"}});
    test::LocalHttpsServer server{chain};
    std::string content;
    std::string etag = "\"v1\"";
    std::atomic<int> requests = 0;
    std::atomic<int64_t> lastFrom = -1; // where the last answer's body began
    bool ignoreRange = false;
    bool announceLength = true;

    explicit FileServer(size_t size) : content(makeContent(size, 'a')) {
        server.routes().Get("/release.pkg", [this](const httplib::Request& request, httplib::Response& response) {
            ++requests;
            // Ranges are answered here, with If-Range, as an object store does; the server
            // library must not cut the answer a second time.
            const_cast<httplib::Request&>(request).ranges.clear();
            serve(request, response);
        });
    }

    static std::string makeContent(size_t size, char seed) {
        std::string text(size, ' ');
        for (size_t i = 0; i < size; ++i)
            text[i] = static_cast<char>(seed + static_cast<char>(i % 23));
        return text;
    }

    void serve(const httplib::Request& request, httplib::Response& response) {
        response.set_header("ETag", etag);
        size_t from = 0;
        const bool validatorMatches = request.get_header_value("If-Range") == etag;
        if (request.has_header("Range") && validatorMatches && !ignoreRange) {
            from = std::stoul(request.get_header_value("Range").substr(6));
            response.status = 206;
            response.set_header("Content-Range", "bytes " + std::to_string(from) + "-" +
                                                     std::to_string(content.size() - 1) + "/" +
                                                     std::to_string(content.size()));
        }
        lastFrom = static_cast<int64_t>(from);
        const std::string body = content.substr(from);
        if (!announceLength) {
            response.set_chunked_content_provider(
                "application/octet-stream", [body](size_t offset, httplib::DataSink& sink) {
                    const size_t piece = std::min<size_t>(body.size() - offset, 65536);
                    sink.write(body.data() + offset, piece);
                    if (offset + piece == body.size())
                        sink.done();
                    return true;
                });
            return;
        }
        response.set_content_provider(body.size(), "application/octet-stream",
                                      [body](size_t offset, size_t length, httplib::DataSink& sink) {
                                          const size_t piece = std::min<size_t>(length, 65536);
                                          sink.write(body.data() + offset, piece);
                                          return true;
                                      });
    }

    Downloader downloader() {
        return Downloader(
            HostPolicy{.apiHost = "api.demo.test", .assetHosts = {}, .downloadDomains = {"files.demo.test"}},
            PinnedTrust{{}, {{"files.demo.test", {chain.rootPin}}}},
            {.caBundle = chain.root,
             .connectTo = {{"dl.files.demo.test", server.address()}, {"cdn.files.demo.test", server.address()}}});
    }
};

const Url release("https://dl.files.demo.test/release.pkg");

std::string refusal(const std::function<void()>& action) {
    return test::refusalOf<Error>(action);
}

TEST(Downloader, FetchesToTheDestinationPrivatelyAndReplacesWhatWasThere) {
    FileServer files(300'000);
    files.server.start();
    const fs::path destination = files.dir / "Echo.pkg";
    test::writeFile(destination, "an older download");
    std::vector<std::pair<int64_t, int64_t>> reports;
    const auto got = files.downloader().download(
        release, std::nullopt, destination, 300'000,
        [&](int64_t received, int64_t expected) { reports.emplace_back(received, expected); });
    EXPECT_EQ(got, destination);
    EXPECT_EQ(test::readFile(destination), files.content);
    EXPECT_EQ(fs::status(destination).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), (std::pair<int64_t, int64_t>{300'000, 300'000}));
    EXPECT_FALSE(fs::exists(files.dir / "Echo.pkg.partial"));
}

TEST(Downloader, StopsAtTheSizeTheStorePublished) {
    FileServer files(100'000);
    files.server.start();
    const fs::path destination = files.dir / "Echo.pkg";
    auto downloader = files.downloader();
    // Announced one byte over: stopped before the body.
    EXPECT_EQ(refusal([&] { downloader.download(release, std::nullopt, destination, 99'999, {}); }),
              "The download grew past the size the store published and was stopped.");
    EXPECT_FALSE(fs::exists(destination));
    EXPECT_FALSE(fs::exists(files.dir / "Echo.pkg.partial"));
    // Without an announced length: exactly the cap is fine, one byte less is not.
    files.announceLength = false;
    EXPECT_EQ(refusal([&] { downloader.download(release, std::nullopt, destination, 99'999, {}); }),
              "The download grew past the size the store published and was stopped.");
    EXPECT_FALSE(fs::exists(destination));
    EXPECT_NO_THROW(downloader.download(release, std::nullopt, destination, 100'000, {}));
    EXPECT_EQ(fs::file_size(destination), 100'000u);
}

TEST(Downloader, FollowsOnlyRedirectsToAllowedDownloadAddresses) {
    FileServer files(1000);
    files.server.routes().Get("/moved", [](const httplib::Request&, httplib::Response& r) {
        r.set_redirect("https://cdn.files.demo.test/release.pkg");
    });
    files.server.routes().Get("/to-http", [](const httplib::Request&, httplib::Response& r) {
        r.set_redirect("http://cdn.files.demo.test/release.pkg");
    });
    files.server.routes().Get("/elsewhere", [](const httplib::Request&, httplib::Response& r) {
        r.set_redirect("https://evil.example/release.pkg");
    });
    files.server.routes().Get("/loop", [](const httplib::Request&, httplib::Response& r) { r.set_redirect("/loop"); });
    files.server.routes().Get("/missing", [](const httplib::Request&, httplib::Response& r) {
        r.status = 404;
        r.set_content("<html>not here</html>", "text/html");
    });
    files.server.start();
    auto downloader = files.downloader();
    const fs::path destination = files.dir / "Echo.pkg";
    const auto fetch = [&](const std::string& path) {
        return refusal(
            [&] { downloader.download(Url("https://dl.files.demo.test" + path), {}, destination, 1000, {}); });
    };
    EXPECT_EQ(fetch("/moved"), "(nothing thrown)");
    EXPECT_EQ(test::readFile(destination), files.content);
    fs::remove(destination);
    EXPECT_EQ(fetch("/to-http"),
              "The download tried to leave HTTPS (http://cdn.files.demo.test/release.pkg) and was stopped.");
    EXPECT_EQ(fetch("/elsewhere"),
              "The download tried to leave HTTPS (https://evil.example/release.pkg) and was stopped.");
    EXPECT_EQ(fetch("/loop"), "The download server returned 302.");
    EXPECT_EQ(fetch("/missing"), "The download server returned 404.");
    EXPECT_FALSE(fs::exists(destination)) << "no failed answer reaches the destination";

    const int before = files.requests;
    EXPECT_EQ(refusal([&] { downloader.download(Url("https://api.demo.test/release.pkg"), {}, destination, 1, {}); }),
              MoonbaseError::blockedURL("https://api.demo.test/release.pkg").what());
    EXPECT_EQ(files.requests, before) << "a refused address is never asked";
}

// Stops the download once `after` bytes have arrived, and returns its resume data.
std::optional<std::string> interrupted(Downloader& downloader, const fs::path& destination, int64_t after,
                                       const std::optional<std::string>& resumeData = std::nullopt) {
    std::stop_source stop;
    try {
        downloader.download(
            release, resumeData, destination, 1 << 30,
            [&](int64_t received, int64_t) {
                if (received >= after)
                    stop.request_stop();
            },
            stop.get_token());
    } catch (const DownloadInterrupted& e) {
        return e.resumeData();
    }
    ADD_FAILURE() << "the download was not interrupted";
    return std::nullopt;
}

TEST(Downloader, AStoppedDownloadResumesWithOnlyTheRest) {
    FileServer files(4'000'000);
    files.server.start();
    auto downloader = files.downloader();
    const fs::path destination = files.dir / "Echo.pkg";
    const auto resume = interrupted(downloader, destination, 1'000'000);
    ASSERT_TRUE(resume.has_value());
    const auto data = ResumeData::decode(*resume, files.dir.path());
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(data->validator, "\"v1\"");
    EXPECT_EQ(data->total, 4'000'000);
    EXPECT_FALSE(fs::exists(destination));

    downloader.download(release, resume, destination, 4'000'000, {});
    EXPECT_EQ(test::readFile(destination), files.content);
    EXPECT_EQ(files.lastFrom, data->received) << "only the rest was fetched";
}

TEST(Downloader, AResumeNeverJoinsTwoDifferentFiles) {
    FileServer files(2'000'000);
    files.server.start();
    auto downloader = files.downloader();
    const fs::path destination = files.dir / "Echo.pkg";

    // The server ignores the range and sends the whole file again.
    auto resume = interrupted(downloader, destination, 500'000);
    files.ignoreRange = true;
    downloader.download(release, resume, destination, 2'000'000, {});
    EXPECT_EQ(test::readFile(destination), files.content);

    // The file was remade in between: the old validator no longer holds.
    files.ignoreRange = false;
    resume = interrupted(downloader, destination, 500'000);
    files.content = FileServer::makeContent(2'000'000, 'A');
    files.etag = "\"v2\"";
    downloader.download(release, resume, destination, 2'000'000, {});
    EXPECT_EQ(test::readFile(destination), files.content);
}

TEST(Downloader, ResumeDataThatCannotBeTrustedIsIgnored) {
    FileServer files(50'000);
    files.server.start();
    auto downloader = files.downloader();
    const fs::path destination = files.dir / "Echo.pkg";
    const ResumeData outside{release.text(), "../../etc/passwd", 10, "\"v1\"", 50'000};
    for (const std::string& bad : {std::string("{not json"), outside.encode(),
                                   ResumeData{release.text(), "Echo.pkg.partial", 999, "\"v1\"", 50'000}.encode()}) {
        downloader.download(release, bad, destination, 50'000, {});
        EXPECT_EQ(test::readFile(destination), files.content);
    }
    EXPECT_FALSE(ResumeData::decode(outside.encode(), files.dir.path()).has_value());
    EXPECT_FALSE(ResumeData::decode(R"({"format": 2})", files.dir.path()).has_value());
}

TEST(Downloader, TwoDownloadsRunAtOnce) {
    FileServer files(1'000'000);
    files.server.start();
    auto downloader = files.downloader();
    std::thread other([&] { downloader.download(release, {}, files.dir / "One.pkg", 1'000'000, {}); });
    downloader.download(release, {}, files.dir / "Two.pkg", 1'000'000, {});
    other.join();
    EXPECT_EQ(test::readFile(files.dir / "One.pkg"), files.content);
    EXPECT_EQ(test::readFile(files.dir / "Two.pkg"), files.content);
}

} // namespace
} // namespace ostrel
