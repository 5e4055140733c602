// The background pass against the demo services over real HTTPS, with the app's store session in
// the real secret store and a private session bus (scripts/with-keyring). The hub's bus name is
// owned by a second connection of this process, and the notification server is a real service
// object on that bus that speaks org.freedesktop.Notifications (test::NotificationListener):
// what the pass posts goes through the bus daemon exactly as to a desktop.
#include "DemoServices.h"
#include "EventLoop.h"
#include "Install/InstallLock.h"
#include "Model/BackgroundUpdater.h"
#include "Model/HubServices.h"
#include "Model/HubSettings.h"
#include "ModelFolders.h"
#include "NotificationListener.h"
#include "OwnBusConnection.h"
#include "PrivateSessionBus.h"
#include "RecordedVersion.h"
#include "Services/CurlTransport.h"
#include "Services/KeychainTokenPersistence.h"
#include "TempDir.h"
#include "Util/Subprocess.h"

#include <atomic>
#include <cstdlib>
#include <map>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;
using Ending = BackgroundUpdater::Ending;

// Every file and folder under the roots with its last change, to tell whether a pass wrote anything.
std::map<fs::path, fs::file_time_type> filesUnder(const std::vector<fs::path>& roots) {
    std::map<fs::path, fs::file_time_type> files;
    for (const auto& root : roots)
        for (const auto& entry : fs::recursive_directory_iterator(root))
            files[entry.path()] = fs::symlink_status(entry.path()).type() == fs::file_type::symlink
                                      ? fs::file_time_type{}
                                      : entry.last_write_time();
    return files;
}

// The demo services, counting every request they answer.
struct CountingDemo {
    test::TempDir dir;
    std::shared_ptr<std::atomic<int>> requests = std::make_shared<std::atomic<int>>(0);
    demo::DemoServices services{
        demo::DemoServicesOptions{.stateFolder = dir / "state",
                                  .catalogueFile = OSTREL_DEMO_CATALOGUE,
                                  .settleDelay = std::chrono::seconds(0),
                                  .log = [requests = requests](const std::string&) { ++*requests; }}};
    ServiceConfig config = (services.start(), ServiceConfig::load(services.configFile()));
};

class BackgroundUpdaterTest : public ::testing::Test {
protected:
    void SetUp() override {
        OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
        environment.config = demo.config;
        environment.codeTrust =
            signature::TrustSettings{.anchors = *signature::TrustAnchors::fromPemFile(demo.services.codeSigningRoot())};
        environment.bus = QDBusConnection::sessionBus();
        tokens.clear();
    }
    void TearDown() override { tokens.clear(); }

    // Signs in to the demo store as the app would, into the app's own secret-store item.
    void signIn() {
        CurlTransport transport(demo.config.pinnedTrust(), CurlTransport::Options::from(demo.config));
        MoonbaseClient client(demo.config.hostPolicy(), transport, tokens);
        client.signIn("demo@ostrel.test", "demo");
    }

    // Installs the product from the demo store, then makes the ledger remember an older release.
    InstallRecord installOutdated(const std::string& productId) {
        CurlTransport transport(demo.config.pinnedTrust(), CurlTransport::Options::from(demo.config));
        MoonbaseClient client(demo.config.hostPolicy(), transport, tokens);
        auto ledger = std::make_shared<InstallLedger>(*environment.supportFolder);
        auto pipeline = HubServices::installPipeline(environment, client, ledger, *environment.workFolder);
        const auto product = client.product(productId);
        auto record = pipeline.run(
            {product.id, product.name, product.version.value_or(""), product.macDownloads().at(0)}, std::nullopt, {});
        auto outdated = record;
        outdated.version = "0.1";
        ledger->save(outdated);
        return record;
    }

    std::optional<std::string> installedVersion(const std::string& productId) const {
        return test::recordedVersion(InstallLedger(*environment.supportFolder), productId);
    }

    Ending pass() { return test::await(BackgroundUpdater::run(environment)); }

    CountingDemo demo;
    test::TempDir dir;
    ModelEnvironment environment = test::modelEnvironmentIn(dir);
    KeychainTokenPersistence tokens{KeychainTokenPersistence::serviceName, KeychainTokenPersistence::storeAccount};
};

TEST_F(BackgroundUpdaterTest, EveryReasonNotToRunEndsThePassQuietlyAndChangesNothing) {
    signIn();
    const auto current = installOutdated("aurora-verb");
    test::NotificationListener desktop;

    // Automatic updates off: not one request, not one file written, and the process ends with 0.
    HubSettings(environment.settingsFile).setAutoUpdate(false);
    const std::vector<fs::path> roots{dir.path(), std::getenv("HOME"), std::getenv("XDG_DATA_HOME"),
                                      std::getenv("XDG_CACHE_HOME"), std::getenv("XDG_CONFIG_HOME")};
    const auto filesBefore = filesUnder(roots);
    const int requestsBefore = *demo.requests;
    EXPECT_EQ(pass(), Ending::autoUpdateOff);
    EXPECT_EQ(BackgroundUpdater::runAndExit(environment), 0);
    EXPECT_EQ(*demo.requests, requestsBefore);
    EXPECT_EQ(filesUnder(roots), filesBefore);
    HubSettings(environment.settingsFile).setAutoUpdate(true);

    {
        // The hub is open: its name is owned by another connection. The process ends at once.
        test::OwnBusConnection hub;
        ASSERT_TRUE(hub.bus().registerService(BackgroundUpdater::applicationBusName));
        const auto lockFile = *environment.supportFolder / "install.lock";
        const bool lockFileBefore = fs::exists(lockFile);
        EXPECT_EQ(pass(), Ending::applicationOpen);
        EXPECT_EQ(BackgroundUpdater::runAndExit(environment), 0);
        EXPECT_EQ(fs::exists(lockFile), lockFileBefore) << "the lock is not even looked at";
        // Given back before the next pass: a closed connection loses its name only once the
        // daemon gets round to it, which on a busy machine can be after that pass has asked.
        ASSERT_TRUE(hub.bus().unregisterService(BackgroundUpdater::applicationBusName));
    }
    {
        // An install is running.
        InstallLock install(*environment.supportFolder);
        ASSERT_TRUE(install.tryLock());
        EXPECT_EQ(pass(), Ending::lockHeld);
    }
    // No store session: the lock is released again.
    tokens.clear();
    EXPECT_EQ(pass(), Ending::notSignedIn);
    EXPECT_TRUE(InstallLock(*environment.supportFolder).tryLock()) << "released";

    EXPECT_EQ(*demo.requests, requestsBefore) << "no pass reached the store";
    EXPECT_EQ(installedVersion("aurora-verb"), "0.1");
    EXPECT_TRUE(desktop.received().empty());

    // The control: with every reason gone, the same setup is updated.
    signIn();
    EXPECT_EQ(pass(), Ending::ran);
    EXPECT_EQ(installedVersion("aurora-verb"), current.version);
}

TEST_F(BackgroundUpdaterTest, OutdatedProductsAreUpdatedAndOneSummaryIsPosted) {
    signIn();
    const auto current = installOutdated("aurora-verb");
    // A product the store does not know any more fails and keeps its record.
    InstallRecord gone;
    gone.productId = "no-such-product";
    gone.productName = "Gone";
    gone.version = "1.0";
    InstallLedger(*environment.supportFolder).save(gone);
    test::NotificationListener desktop;

    EXPECT_EQ(pass(), Ending::ran);
    EXPECT_EQ(installedVersion("aurora-verb"), current.version);
    EXPECT_EQ(installedVersion("no-such-product"), "1.0");
    ASSERT_EQ(desktop.received().size(), 1u);
    const auto& shown = desktop.received().front();
    EXPECT_EQ(shown.summary, "Ostrel Hub updated 1 product");
    EXPECT_EQ(shown.body, QString::fromStdString(current.productName + " " + current.version) +
                              "\nOpen Ostrel Hub to finish: Gone");
    EXPECT_EQ(shown.appName, "Ostrel Hub");
    EXPECT_TRUE(InstallLock(*environment.supportFolder).tryLock()) << "released at the end";

    // Nothing left to update: the next pass posts nothing more than the failure.
    InstallLedger(*environment.supportFolder).remove("no-such-product");
    EXPECT_EQ(pass(), Ending::ran);
    EXPECT_EQ(desktop.received().size(), 1u);
}

#ifdef OSTREL_HUB_BINARY
// The program itself in background mode, with no display of any kind: a window, a GUI application
// or a QML engine could not even start here, and the mode needs none.
TEST_F(BackgroundUpdaterTest, TheProgramRunsThePassWithoutAnyDisplayAndEndsWithZero) {
    const auto data = dir / "hub";
    fs::create_directories(data);
    HubSettings(QString::fromStdString((data / "settings.conf").string())).setAutoUpdate(false);
    const auto environmentFor = [](std::initializer_list<const char*> names) {
        Subprocess::Environment session;
        for (const char* name : names)
            session[name] = std::getenv(name);
        return session;
    };
    const auto session = environmentFor({"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR", "XDG_DATA_HOME",
                                         "XDG_CACHE_HOME", "XDG_CONFIG_HOME", "OSTREL_LOG"});
    const std::vector<std::string> arguments{"--background-update", "--config", demo.services.configFile().string(),
                                             "--data", data.string()};
    const auto before = filesUnder({dir.path()});
    const auto off = Subprocess::run(OSTREL_HUB_BINARY, arguments, 60, {}, session);
    EXPECT_EQ(off.status, 0) << off.standardError;
    EXPECT_EQ(filesUnder({dir.path()}), before) << "automatic updates off: nothing written";

    HubSettings(QString::fromStdString((data / "settings.conf").string())).setAutoUpdate(true);
    test::OwnBusConnection hub;
    ASSERT_TRUE(hub.bus().registerService(BackgroundUpdater::applicationBusName));
    const auto open = Subprocess::run(OSTREL_HUB_BINARY, arguments, 60, {}, session);
    EXPECT_EQ(open.status, 0) << open.standardError;
    EXPECT_FALSE(fs::exists(data / "install.lock")) << "the hub is open: the pass never got to the lock";
}
#endif

TEST(BackgroundSummary, TitleCountsTheUpdatesAndTheBodyNamesWhatNeedsTheUser) {
    using Outcome = UpdateRunner::Outcome;
    EXPECT_EQ(BackgroundUpdater::summaryOf(Outcome{}), std::nullopt);

    const Outcome three{.updated = {{"a", "Aurora Verb", "2.0"}, {"p", "Pulse Gate", "1.1"}, {"s", "Sketchpad", "3"}},
                        .failed = {}};
    EXPECT_EQ(
        BackgroundUpdater::summaryOf(three),
        (BackgroundUpdater::Summary{"Ostrel Hub updated 3 products", "Aurora Verb 2.0\nPulse Gate 1.1\nSketchpad 3"}));

    const Outcome failures{.updated = {},
                           .failed = {{"a", "Aurora Verb", "refused"}, {"p", "Pulse Gate", "no network"}}};
    EXPECT_EQ(
        BackgroundUpdater::summaryOf(failures),
        (BackgroundUpdater::Summary{"Ostrel updates need you", "Open Ostrel Hub to finish: Aurora Verb, Pulse Gate"}));
}

} // namespace
} // namespace ostrel::hub
