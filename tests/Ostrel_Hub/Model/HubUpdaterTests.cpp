// The self-updater of the app against the demo services in this process: they publish the next
// version of a real installed hub folder (the hub program built here under a version marker),
// signed with the demo key the hub is built with, and the updater swaps it in, with the new
// build's own "--self-test" confirming that it starts.
#include "DemoServices.h"
#include "EventLoop.h"
#include "Model/BannerList.h"
#include "Model/HubUpdater.h"
#include "TempDir.h"

#include <QSignalSpy>

#include <gmock/gmock.h>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;

QStringList textsOf(const BannerList& banners) {
    QStringList texts;
    for (const auto& banner : banners.banners())
        texts << banner.text;
    return texts;
}

// A hub installed into a temporary prefix, and the demo services publishing its next version.
struct InstalledHub {
    test::TempDir dir;
    fs::path prefix = dir / "opt" / "ostrel-hub";
    fs::path program = prefix / HubFolderSwap::executable;
    QString settingsFile = QString::fromStdString((dir / "hub.conf").string());

    InstalledHub() {
        fs::create_directories(prefix / "bin");
        fs::copy_file(OSTREL_HUB_BINARY, program);
        test::writeFile(prefix / HubFolderSwap::versionFile, "0.1.0\n");
    }
};

struct Published : InstalledHub {
    demo::DemoServices services{demo::DemoServicesOptions{.stateFolder = dir / "state",
                                                          .catalogueFile = OSTREL_DEMO_CATALOGUE,
                                                          .log = [](const std::string&) {},
                                                          .hubFolder = prefix}};
    ServiceConfig config = (services.start(), ServiceConfig::load(services.configFile()));
};

TEST(HubUpdater, FindsTheInstalledFolderOnlyBesideAnInstalledProgram) {
    InstalledHub hub;
    EXPECT_EQ(HubUpdater::installedFolderOf(hub.program), hub.prefix);
    // A build folder has no version marker beside the program.
    EXPECT_EQ(HubUpdater::installedFolderOf(OSTREL_HUB_BINARY), std::nullopt);
    EXPECT_EQ(HubUpdater::installedFolderOf(hub.prefix / "ostrel-hub"), std::nullopt);
    fs::remove(hub.prefix / HubFolderSwap::versionFile);
    EXPECT_EQ(HubUpdater::installedFolderOf(hub.program), std::nullopt);

    // From a build folder there is nothing to update: "Check for Updates..." stays disabled.
    HubUpdater fromBuild({.update = HubUpdater::forProgram(OSTREL_HUB_BINARY, ServiceConfig::production()),
                          .settingsFile = hub.settingsFile});
    EXPECT_FALSE(fromBuild.canCheck());
}

TEST(HubUpdater, KeepsBothChoicesOnUntilTurnedOffAndRemembersThem) {
    InstalledHub hub;
    {
        HubUpdater updater({.update = nullptr, .settingsFile = hub.settingsFile});
        EXPECT_TRUE(updater.automaticallyChecksForUpdates());
        EXPECT_TRUE(updater.automaticallyDownloadsUpdates());
        QSignalSpy checks(&updater, &HubUpdater::automaticallyChecksForUpdatesChanged);
        QSignalSpy installs(&updater, &HubUpdater::automaticallyDownloadsUpdatesChanged);
        updater.setProperty("automaticallyChecksForUpdates", false);
        updater.setProperty("automaticallyChecksForUpdates", false); // the same value changes nothing
        updater.setProperty("automaticallyDownloadsUpdates", false);
        EXPECT_EQ(checks.count(), 1);
        EXPECT_EQ(installs.count(), 1);
    }
    HubUpdater again({.update = nullptr, .settingsFile = hub.settingsFile});
    EXPECT_FALSE(again.property("automaticallyChecksForUpdates").toBool());
    EXPECT_FALSE(again.property("automaticallyDownloadsUpdates").toBool());
}

TEST(HubUpdater, ChecksForUpdatesInstallsTheSignedNextVersionAndThenIsUpToDate) {
    Published hub;
    BannerList banners;
    HubUpdater updater({.update = HubUpdater::forProgram(hub.program, hub.config), .settingsFile = hub.settingsFile});
    updater.reportTo(&banners);
    ASSERT_TRUE(updater.canCheck());
    QSignalSpy canCheck(&updater, &HubUpdater::canCheckChanged);

    test::await(updater.check(true));
    // Disabled while the check ran, enabled again after.
    EXPECT_EQ(canCheck.count(), 2);
    EXPECT_TRUE(updater.canCheck());
    EXPECT_THAT(textsOf(banners),
                testing::ElementsAre("Ostrel Hub 0.1.1 is installed. It opens the next time you start Ostrel Hub."));
    EXPECT_EQ(HubFolderSwap::versionOf(hub.prefix), "0.1.1");
    EXPECT_TRUE(fs::is_regular_file(hub.program));
    EXPECT_FALSE(fs::exists(hub.prefix.parent_path() / ".ostrel-hub.swap"));

    test::await(updater.check(true));
    EXPECT_EQ(textsOf(banners).last(), "Ostrel Hub is up to date.");
}

TEST(HubUpdater, AnAutomaticCheckOnlyAnnouncesWhenInstallsAreOff) {
    Published hub;
    BannerList banners;
    HubUpdater updater({.update = HubUpdater::forProgram(hub.program, hub.config), .settingsFile = hub.settingsFile});
    updater.reportTo(&banners);
    updater.setAutomaticallyDownloadsUpdates(false);
    test::await(updater.check(false));
    EXPECT_THAT(textsOf(banners), testing::ElementsAre("Ostrel Hub 0.1.1 is available. Choose Check for Updates... "
                                                       "to install it."));
    EXPECT_EQ(HubFolderSwap::versionOf(hub.prefix), "0.1.0");
}

} // namespace
} // namespace ostrel::hub
