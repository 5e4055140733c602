// What scripts/demo and the README let a person do by hand, end to end: the hub installed with
// `cmake --install` into a prefix of its own, the demo services publishing that installed folder
// as the hub's next version, a product recorded under an older version by `ostrel-hubctl install`,
// and `ostrel-hubctl background run-now` running the installed hub's own background pass. Real
// programs, real HTTPS, the store session in the secret store of the private session bus
// (scripts/with-keyring), and a notification server on that bus (test::NotificationListener).
#include "DemoServices.h"
#include "EventLoop.h"
#include "Install/HubFolderSwap.h"
#include "Install/InstallLedger.h"
#include "NotificationListener.h"
#include "PrivateSessionBus.h"
#include "RecordedVersion.h"
#include "Services/CurlTransport.h"
#include "Services/KeychainTokenPersistence.h"
#include "Services/MoonbaseClient.h"
#include "TempDir.h"
#include "Util/Subprocess.h"

#include <cstdlib>
#include <future>

#include <gtest/gtest.h>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

constexpr const char* demoTeam = "K7QZ2M4XNB";
constexpr const char* productId = "aurora-verb";

// The session the hub's background pass needs: this test's bus and its own XDG folders.
Subprocess::Environment session() {
    Subprocess::Environment environment;
    for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                             "XDG_CACHE_HOME", "XDG_STATE_HOME", "OSTREL_LOG"})
        if (const char* value = std::getenv(name); value != nullptr)
            environment[name] = value;
    return environment;
}

Subprocess::Result hubctl(const std::vector<std::string>& arguments) {
    return Subprocess::run(OSTREL_HUBCTL, arguments, 600, {}, session());
}

TEST(InstalledHub, BackgroundRunNowUpdatesAnOutdatedProductAndPostsTheSummary) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    test::TempDir dir;
    const auto prefix = dir / "opt" / "ostrel-hub";
    const auto installed =
        Subprocess::run(OSTREL_CMAKE, {"--install", OSTREL_BUILD_DIR, "--prefix", prefix.string()}, 300);
    ASSERT_EQ(installed.status, 0) << installed.standardError;
    ASSERT_TRUE(HubFolderSwap::isHubBuild(prefix));

    demo::DemoServices services{demo::DemoServicesOptions{.stateFolder = dir / "state",
                                                          .catalogueFile = OSTREL_DEMO_CATALOGUE,
                                                          .settleDelay = std::chrono::seconds(0),
                                                          .log = [](const std::string&) {},
                                                          .hubFolder = prefix}};
    services.start();
    const auto config = ServiceConfig::load(services.configFile());
    // The services accept the installed layout as a hub build and publish it one version up.
    const auto next = demo::HubUpdateShelf::nextVersion(*HubFolderSwap::versionOf(prefix));
    EXPECT_TRUE(fs::is_regular_file(dir / "state" / "hub-update" / ("ostrel-hub-" + next + ".tar.gz")));

    // Signed in as the app and ostrel-hubctl sign in: the one store session in the secret store.
    KeychainTokenPersistence tokens{KeychainTokenPersistence::serviceName, KeychainTokenPersistence::storeAccount};
    tokens.clear();
    CurlTransport transport(config.pinnedTrust(), CurlTransport::Options::from(config));
    MoonbaseClient client(config.hostPolicy(), transport, tokens);
    client.signIn("demo@ostrel.test", "demo");
    const auto product = client.product(productId);
    ASSERT_TRUE(product.version);

    // The store's release, recorded one version below what the store offers.
    const auto data = dir / "hub";
    const auto home = dir / "home";
    const std::vector<std::string> trust{"--data", data.string(), "--home",    home.string(),
                                         "--team", demoTeam,      "--anchors", services.codeSigningRoot().string()};
    auto outdated = std::vector<std::string>{"install",   (dir / "state" / "releases" / "aurora-verb-mac.pkg").string(),
                                             "--product", productId,
                                             "--name",    product.name,
                                             "--version", "0.1"};
    outdated.insert(outdated.end(), trust.begin(), trust.end());
    const auto recorded = hubctl(outdated);
    ASSERT_EQ(recorded.status, 0) << recorded.standardError;
    ASSERT_EQ(test::recordedVersion(InstallLedger(data), productId), "0.1");

    // The pass runs in its own process while this thread's event loop answers the bus.
    test::NotificationListener desktop;
    auto arguments = std::vector<std::string>{"background", "run-now",
                                              "--hub",      (prefix / "bin/ostrel-hub").string(),
                                              "--config",   services.configFile().string()};
    arguments.insert(arguments.end(), trust.begin(), trust.end());
    auto pass = std::async(std::launch::async, [&] { return hubctl(arguments); });
    ASSERT_TRUE(test::runUntil([&] { return pass.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                               std::chrono::minutes(10)));
    const auto ran = pass.get();
    tokens.clear();
    EXPECT_EQ(ran.status, 0) << ran.standardError;
    EXPECT_EQ(test::recordedVersion(InstallLedger(data), productId), *product.version);
    ASSERT_EQ(desktop.received().size(), 1u);
    EXPECT_EQ(desktop.received().front().summary.toStdString(), "Ostrel Hub updated 1 product");
    EXPECT_EQ(desktop.received().front().body.toStdString(), product.name + " " + *product.version);
}

} // namespace
} // namespace ostrel
