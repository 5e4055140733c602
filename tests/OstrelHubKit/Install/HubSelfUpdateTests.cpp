// The hub updating itself from a real HTTPS server on 127.0.0.1: the feed and the download each
// checked against the hub's key, only newer versions offered, and a good build swapped into a
// real installed folder. The hub program is stood in for by the probe (see HubBuilds.h).
#include "HubBuilds.h"
#include "HubUpdateSigner.h"
#include "Install/HubSelfUpdate.h"
#include "LocalHttpsServer.h"
#include "Services/CurlTransport.h"
#include "TempDir.h"
#include "TlsChains.h"
#include "Util/Base64.h"

#include <nlohmann/json.hpp>

#include <gmock/gmock.h>

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using fixtures::HubUpdateSigner;
using nlohmann::json;

constexpr const char* feedHost = "hub.demo.test";
constexpr const char* downloadHost = "dl.files.demo.test";

class HubSelfUpdateTest : public testing::Test {
protected:
    test::TempDir dir_;
    fixtures::TlsChain chain_ = fixtures::makeTlsChain(dir_ / "tls", {.hostNames = {feedHost, downloadHost}});
    test::LocalHttpsServer server_{chain_};
    HubUpdateSigner signer_ = HubUpdateSigner::generate();
    fs::path installed_ = dir_ / "prefix" / "ostrel-hub";
    test::Seen<std::string> feed_;
    test::Seen<std::string> archive_;

    void SetUp() override {
        test::makeHubFolder(installed_, "1.0.0");
        server_.routes().Get("/hub/appcast", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content(feed_.get(), "text/plain");
        });
        server_.routes().Get("/hub/build.tar.gz", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content(archive_.get(), "application/gzip");
        });
        server_.start();
    }

    HubSelfUpdate updater() const {
        const PinnedTrust trust{{{feedHost, {chain_.rootPin}}}, {{"files.demo.test", {chain_.rootPin}}}};
        const std::map<std::string, std::string> connectTo{{feedHost, server_.address()},
                                                           {downloadHost, server_.address()}};
        return HubSelfUpdate(HubSelfUpdate::Settings{
            .feed = Url(std::string("https://") + feedHost + "/hub/appcast"),
            .publicKey = signer_.publicKey(),
            .transport = std::make_shared<CurlTransport>(
                trust, CurlTransport::Options{.caBundle = chain_.root, .connectTo = connectTo}),
            .downloader = std::make_shared<Downloader>(
                HostPolicy{.apiHost = "api.demo.test", .assetHosts = {}, .downloadDomains = {"files.demo.test"}}, trust,
                PinnedCurl::Routing{.caBundle = chain_.root, .connectTo = connectTo}),
            .installed = installed_,
            .work = dir_ / "work",
        });
    }

    // A feed item for the archive being served, its download signed by `by`.
    json item(const std::string& version, const HubUpdateSigner& by) {
        const std::string bytes = archive_.get();
        return {{"version", version},
                {"url", std::string("https://") + downloadHost + "/hub/build.tar.gz"},
                {"length", bytes.size()},
                {"ed25519", base64Encode(by.sign(bytes))}};
    }

    static std::string body(const json& items) { return json{{"product", "com.ostrel.hub"}, {"items", items}}.dump(); }

    void publish(const json& items) {
        feed_.update([&](std::string& text) { text = signer_.feed(body(items)); });
    }

    // Serves a packed build of that version whose program answers its self-test as told.
    void serveBuild(const std::string& version, const std::string& behaviour) {
        const auto folder = dir_ / ("build-" + version);
        test::makeHubFolder(folder, version, behaviour);
        const auto file = dir_ / ("build-" + version + ".tar.gz");
        fixtures::packHubFolder(folder, file);
        archive_.update([&](std::string& bytes) { bytes = test::readFile(file); });
    }

    HubUpdateError::Kind refusalKind(const std::function<void()>& action) {
        try {
            action();
        } catch (const HubUpdateError& e) {
            return e.kind();
        }
        ADD_FAILURE() << "nothing was refused";
        return HubUpdateError::Kind::feedUnreadable;
    }
};

TEST_F(HubSelfUpdateTest, OffersTheNewestItemAboveTheInstalledVersionOnly) {
    serveBuild("2.0.0", "start");
    publish(json::array({item("0.9", signer_), item("1.0.0", signer_), item("2.0.0", signer_), item("1.5", signer_)}));
    const auto update = updater();
    ASSERT_EQ(update.installedVersion(), Version("1.0.0"));
    EXPECT_EQ(update.check(Version("1.0.0"))->version, "2.0.0");
    EXPECT_EQ(update.check(Version("1.9.9"))->version, "2.0.0");
    // Equal and older are never offered.
    EXPECT_EQ(update.check(Version("2.0")), std::nullopt);
    EXPECT_EQ(update.check(Version("2.1")), std::nullopt);
}

TEST_F(HubSelfUpdateTest, RefusesAFeedThatDoesNotCarryTheHubsKeysSignature) {
    serveBuild("2.0.0", "start");
    const auto stranger = HubUpdateSigner::generate();
    const auto items = json::array({item("2.0.0", signer_)});
    feed_.update([&](std::string& text) { text = stranger.feed(body(items)); });
    EXPECT_EQ(refusalKind([&] { updater().check(Version("1.0.0")); }), HubUpdateError::Kind::feedUnsigned);
    // Signed by the right key, then changed by one byte.
    feed_.update([&](std::string& text) {
        text = signer_.feed(body(items));
        text.back() = ' ';
    });
    EXPECT_EQ(refusalKind([&] { updater().check(Version("1.0.0")); }), HubUpdateError::Kind::feedUnsigned);
    EXPECT_EQ(HubUpdateError(HubUpdateError::Kind::feedUnsigned, "").what(),
              std::string("The update feed does not carry Ostrel's signature, so it was ignored."));
}

TEST_F(HubSelfUpdateTest, ReadsAFeedOfTheLargestSizeAndRefusesALargerOneUnread) {
    serveBuild("2.0.0", "start");
    const std::string json = body(json::array({item("2.0.0", signer_)}));
    const std::size_t head = signer_.feed("").size();
    const std::string padded = json + std::string(HubAppcast::maxBytes - head - json.size(), ' ');
    feed_.update([&](std::string& text) { text = signer_.feed(padded); });
    ASSERT_EQ(feed_.get().size(), HubAppcast::maxBytes);
    EXPECT_EQ(updater().check(Version("1.0.0"))->version, "2.0.0");
    // One more byte: the transport stops it, before any of it is read as a feed.
    feed_.update([&](std::string& text) { text = signer_.feed(padded + " "); });
    EXPECT_EQ(refusalKind([&] { updater().check(Version("1.0.0")); }), HubUpdateError::Kind::feedUnavailable);
}

TEST_F(HubSelfUpdateTest, RefusesADownloadThatDoesNotCarryTheHubsKeysSignature) {
    serveBuild("2.0.0", "start");
    const auto stranger = HubUpdateSigner::generate();
    publish(json::array({item("2.0.0", stranger)}));
    const auto update = updater();
    const auto offered = update.check(Version("1.0.0"));
    ASSERT_TRUE(offered);
    EXPECT_EQ(refusalKind([&] { update.install(*offered); }), HubUpdateError::Kind::downloadUnsigned);
    EXPECT_EQ(HubFolderSwap::versionOf(installed_), "1.0.0");
    EXPECT_THAT(test::namesBeside(installed_), testing::ElementsAre("ostrel-hub"));
    EXPECT_FALSE(fs::exists(dir_ / "work" / "ostrel-hub-update.tar.gz"));
}

TEST_F(HubSelfUpdateTest, SwapsInANewBuildThatStartsAndRollsBackOneThatDoesNot) {
    serveBuild("2.0.0", "start");
    publish(json::array({item("2.0.0", signer_)}));
    const auto update = updater();
    EXPECT_EQ(update.install(*update.check(Version("1.0.0"))), HubFolderSwap::Outcome::installed);
    EXPECT_EQ(update.installedVersion(), Version("2.0.0"));
    EXPECT_THAT(test::namesBeside(installed_), testing::ElementsAre("ostrel-hub"));
    EXPECT_EQ(update.check(*update.installedVersion()), std::nullopt);

    serveBuild("3.0.0", "fail");
    publish(json::array({item("3.0.0", signer_)}));
    EXPECT_EQ(update.install(*update.check(Version("2.0.0"))), HubFolderSwap::Outcome::rolledBack);
    EXPECT_EQ(update.installedVersion(), Version("2.0.0"));
    EXPECT_THAT(test::namesBeside(installed_), testing::ElementsAre("ostrel-hub"));
}

TEST_F(HubSelfUpdateTest, RefusesASignedArchiveThatHoldsNoHubBuild) {
    const auto folder = dir_ / "not-a-build";
    test::writeFile(folder / "README", "just a file");
    fixtures::packHubFolder(folder, dir_ / "not-a-build.tar.gz");
    archive_.update([&](std::string& bytes) { bytes = test::readFile(dir_ / "not-a-build.tar.gz"); });
    publish(json::array({item("2.0.0", signer_)}));
    const auto update = updater();
    EXPECT_EQ(refusalKind([&] { update.install(*update.check(Version("1.0.0"))); }),
              HubUpdateError::Kind::notAHubBuild);
    EXPECT_EQ(HubFolderSwap::versionOf(installed_), "1.0.0");
    EXPECT_THAT(test::namesBeside(installed_), testing::ElementsAre("ostrel-hub"));
}

} // namespace
} // namespace ostrel
