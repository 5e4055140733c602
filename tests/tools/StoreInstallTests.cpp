// Installs from the store, end to end: the demo services over real HTTPS with their own
// authority, real signed releases of each kind, the pinned downloader, and the install
// pipeline placing into a temporary home.
#include "Install/DownloadError.h"
#include "Install/InstallError.h"
#include "Install/InstallPipeline.h"
#include "Install/InstallRecovery.h"
#include "Install/UpdateRunner.h"
#include "RecordedVersion.h"
#include "Refusal.h"
#include "RunningDemo.h"
#include "Services/CurlTransport.h"
#include "Services/InMemoryTokenPersistence.h"
#include "Services/ServiceConfig.h"
#include "TempDir.h"

#include <nlohmann/json.hpp>

#include <gmock/gmock.h>

namespace ostrel::demo {
namespace {

namespace fs = std::filesystem;
using Kind = InstallStage::Kind;

struct Store : RunningDemo {
    InMemoryTokenPersistence tokens;
    MoonbaseClient client{config.hostPolicy(), transport, tokens};
    std::shared_ptr<InstallLedger> ledger = std::make_shared<InstallLedger>(dir / "data");
    CodeVerifier verifier{
        SignaturePolicy::ostrel(),
        signature::TrustSettings{.anchors = signature::TrustAnchors::fromPemFile(services.codeSigningRoot()).value()}};
    InstallPipeline pipeline{
        Extractor{.verifier = verifier, .requireSignedContainers = true},
        BundleInstaller{.verifier = verifier, .home = dir / "home", .applications = dir / "home/Applications"}, ledger,
        dir / "work",
        ReleaseSource{&client, std::make_shared<Downloader>(config.hostPolicy(), config.pinnedTrust(),
                                                            PinnedCurl::Routing{config.caBundle, config.connectTo})}};

    Store() { client.signIn("demo@ostrel.test", "demo"); }

    InstallRequest request(const std::string& productId) {
        const auto product = client.product(productId);
        return {product.id, product.name, product.version.value_or(""), product.macDownloads().at(0)};
    }

    // POSTs a fault switch to the download host.
    void fault(const std::string& query) {
        const auto link = client.resolveDownload(request("aurora-verb").download);
        const Url control("https://" + link.host().value_or("") + "/_demo/fault?" + query);
        ASSERT_EQ(transport.send(HTTPRequest{.url = control, .method = "POST"}).status, 200);
    }

    // What the download host says it sent for one release file.
    nlohmann::json sent(const InstallRequest& request) {
        const auto link = client.resolveDownload(request.download);
        const Url report("https://" + link.host().value_or("") + "/_demo/downloads?file=" + request.download.key);
        return nlohmann::json::parse(transport.send(HTTPRequest{.url = report}).body);
    }

    bool workIsEmpty() const { return !fs::exists(dir / "work") || fs::is_empty(dir / "work"); }
};

std::string refusal(const std::function<void()>& action) {
    return test::refusalOf<Error>(action);
}

TEST(StoreInstall, EveryKindOfReleaseInstallsFromTheStoreAndLandsInTheLedger) {
    Store store;
    for (const auto& [product, bundles] : {std::pair{"aurora-verb", 3u}, {"pulse-gate", 1u}, {"sketchpad", 1u}}) {
        std::vector<Kind> stages;
        const auto record = store.pipeline.run(store.request(product), std::nullopt, [&](const InstallStage& stage) {
            if (stages.empty() || stages.back() != stage.kind)
                stages.push_back(stage.kind);
        });
        EXPECT_EQ(record.items.size(), bundles) << product;
        EXPECT_EQ(stages, (std::vector<Kind>{Kind::resolving, Kind::downloading, Kind::verifying, Kind::installing,
                                             Kind::installed}))
            << product;
        EXPECT_EQ(store.ledger->record(product), record);
        for (const auto& item : record.items)
            EXPECT_TRUE(fs::exists(item.path)) << item.path;
    }
    EXPECT_TRUE(store.workIsEmpty());
}

TEST(StoreInstall, AReleaseCheckLeavesNothingAndBadSizesAreRefused) {
    Store store;
    auto request = store.request("pulse-gate");
    const auto checked = store.pipeline.verify(request, {});
    EXPECT_EQ(checked.verified.size(), 1u);
    EXPECT_FALSE(store.ledger->record("pulse-gate"));
    EXPECT_FALSE(fs::exists(store.dir / "home"));
    EXPECT_TRUE(store.workIsEmpty());

    std::vector<Kind> stages;
    auto noSize = request;
    noSize.download.size = 0;
    EXPECT_EQ(
        refusal([&] { store.pipeline.run(noSize, {}, [&](const InstallStage& s) { stages.push_back(s.kind); }); }),
        "The download was refused: the store gave no size for this download.");
    EXPECT_TRUE(stages.empty()) << "refused before any stage";

    auto shortSize = request;
    shortSize.download.size -= 1;
    EXPECT_EQ(refusal([&] { store.pipeline.run(shortSize, {}, {}); }),
              "The download grew past the size the store published and was stopped.");
    auto longSize = request;
    longSize.download.size += 1;
    EXPECT_EQ(refusal([&] { store.pipeline.run(longSize, {}, {}); }),
              "The download is " + std::to_string(request.download.size) + " bytes; the store said " +
                  std::to_string(longSize.download.size) + ". Discarded.");
    EXPECT_FALSE(store.ledger->record("pulse-gate"));
    EXPECT_TRUE(store.workIsEmpty());
}

TEST(StoreInstall, AStoppedInstallResumesWithTheRestOfTheFile) {
    Store store;
    const auto request = store.request("aurora-verb");
    store.fault("mode=stall&count=1");
    std::stop_source stop;
    std::optional<std::string> resume;
    try {
        store.pipeline.run(
            request, std::nullopt,
            [&](const InstallStage& stage) {
                if (stage.kind == Kind::downloading && stage.received > 0)
                    stop.request_stop();
            },
            stop.get_token());
        ADD_FAILURE() << "the install was not interrupted";
    } catch (const DownloadInterrupted& interrupted) {
        resume = interrupted.resumeData();
    }
    store.fault("mode=none");
    ASSERT_TRUE(resume.has_value());
    EXPECT_TRUE(fs::exists(store.dir / "work" / request.download.key / InstallRecovery::resumeDataName))
        << "the paused download waits in its work folder";

    // The next run finds the resume data itself, as after a restart.
    const auto record = store.pipeline.run(request, std::nullopt, {});
    EXPECT_EQ(record.items.size(), 3u);
    const auto downloads = store.sent(request)["downloads"];
    ASSERT_GE(downloads.size(), 2u) << downloads.dump();
    const auto& last = downloads.back();
    EXPECT_EQ(last["status"], 206) << downloads.dump();
    const auto range = last["range"].get<std::string>(); // "bytes FROM-LAST/TOTAL"
    const int64_t from = std::stoll(range.substr(6));
    EXPECT_GT(from, 0);
    EXPECT_EQ(from + last["length"].get<int64_t>(), request.download.size) << "only the rest was fetched";
    EXPECT_TRUE(store.workIsEmpty());
}

TEST(StoreInstall, TheUpdateRunnerUpdatesWhatIsBehindAndReportsWhatFails) {
    Store store;
    auto current = store.pipeline.run(store.request("pulse-gate"), std::nullopt, {});
    auto outdated = store.pipeline.run(store.request("aurora-verb"), std::nullopt, {});
    // The ledger remembers an older release of one product, and one the store does not know.
    outdated.version = "0.1";
    store.ledger->save(outdated);
    auto unknown = current;
    unknown.productId = "no-such-product";
    unknown.productName = "Gone";
    unknown.items = {};
    store.ledger->save(unknown);

    const auto outcome = UpdateRunner(store.client, *store.ledger, store.pipeline).run();
    ASSERT_EQ(outcome.updated.size(), 1u);
    EXPECT_EQ(outcome.updated[0].productId, "aurora-verb");
    EXPECT_EQ(test::recordedVersion(*store.ledger, "aurora-verb"), store.request("aurora-verb").version);
    ASSERT_EQ(outcome.failed.size(), 1u);
    EXPECT_EQ(outcome.failed[0].productId, "no-such-product");
    EXPECT_EQ(outcome.failed[0].name, "Gone");
    EXPECT_FALSE(outcome.failed[0].reason.empty());

    // A release below a bundle's floor is refused even when nothing of it is installed.
    store.pipeline.uninstall("pulse-gate");
    auto raised = current;
    for (auto& item : raised.items)
        item.version = "99.0";
    store.ledger->save(raised);
    store.ledger->remove("pulse-gate");
    EXPECT_THAT(refusal([&] { store.pipeline.run(store.request("pulse-gate"), std::nullopt, {}); }),
                ::testing::HasSubstr("is older than the installed 99.0. Refused"));
}

} // namespace
} // namespace ostrel::demo
