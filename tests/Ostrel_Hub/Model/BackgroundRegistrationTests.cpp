// The Settings switch of the background agent over the real systemctl --user, which switches the
// unit files in the test's own XDG_CONFIG_HOME even where no user manager runs.
#include "EventLoop.h"
#include "Model/BackgroundRegistration.h"
#include "Model/HubSettings.h"
#include "Platform/LaunchAgent.h"
#include "TempDir.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;

class BackgroundRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(LaunchAgent::unitFolder());
        test::writeFile(program, "#!/bin/sh\nexit 0\n");
        fs::permissions(program, fs::perms::owner_all);
    }
    void TearDown() override { fs::remove_all(LaunchAgent::unitFolder()); }

    BackgroundRegistration::Options installed() const {
        return {.executable = program, .installedFolder = dir / "prefix" / "bin", .settingsFile = settingsFile};
    }
    // The started object has read the agent's status once.
    static void loaded(BackgroundRegistration& registration) { test::await(registration.reload()); }

    bool turnedOff() const { return HubSettings(settingsFile).backgroundUpdatesTurnedOff(); }
    fs::path timerFile() const { return LaunchAgent::unitFolder() / LaunchAgent::timerName; }

    test::TempDir dir;
    const fs::path program = dir / "prefix" / "bin" / "ostrel-hub";
    const QString settingsFile = QString::fromStdString((dir / "hub.conf").string());
};

TEST_F(BackgroundRegistrationTest, TheInstalledHubRegistersByDefaultAndTheSwitchTurnsTheAgentOffAndOn) {
    BackgroundRegistration registration(installed());
    loaded(registration);
    EXPECT_TRUE(registration.available());
    EXPECT_EQ(registration.status(), "notRegistered");
    EXPECT_FALSE(registration.enabled());

    QSignalSpy enabledChanges(&registration, &BackgroundRegistration::enabledChanged);
    test::await(registration.registerByDefault());
    EXPECT_EQ(registration.status(), "enabled");
    EXPECT_TRUE(registration.enabled());
    EXPECT_EQ(enabledChanges.count(), 1);
    EXPECT_NE(test::readFile(LaunchAgent::unitFolder() / LaunchAgent::serviceName)
                  .find("ExecStart=\"" + program.string() + "\" --background-update\n"),
              std::string::npos);

    registration.setEnabled(false);
    ASSERT_TRUE(test::runUntil([&] { return !registration.enabled(); }));
    EXPECT_EQ(registration.status(), "notRegistered");
    EXPECT_FALSE(fs::exists(timerFile()));
    EXPECT_TRUE(turnedOff()) << "the choice is remembered";
    EXPECT_EQ(registration.error(), "");

    // A later start keeps the user's choice.
    BackgroundRegistration later(installed());
    test::await(later.registerByDefault());
    loaded(later);
    EXPECT_EQ(later.status(), "notRegistered");
    EXPECT_FALSE(fs::exists(timerFile()));

    test::await(later.switchTo(true));
    EXPECT_EQ(later.status(), "enabled");
    EXPECT_FALSE(turnedOff());
    registration.refresh();
    ASSERT_TRUE(test::runUntil([&] { return registration.enabled(); })) << "a refresh reads the agent again";
}

TEST_F(BackgroundRegistrationTest, AHubOutsideItsInstalledPlaceNeverRegistersTheAgent) {
    auto elsewhere = installed();
    elsewhere.installedFolder = dir / "usr" / "bin";
    BackgroundRegistration registration(elsewhere);
    loaded(registration);
    EXPECT_FALSE(registration.available());
    test::await(registration.registerByDefault());
    test::await(registration.switchTo(true));
    EXPECT_FALSE(fs::exists(timerFile()));
    EXPECT_EQ(registration.status(), "notRegistered");
    EXPECT_FALSE(turnedOff()) << "the choice is still remembered";

    // The same folder reached through a link is the installed place.
    fs::create_directory_symlink(dir / "prefix", dir / "linked");
    auto linked = installed();
    linked.installedFolder = dir / "linked" / "bin";
    EXPECT_TRUE(BackgroundRegistration(linked).available());
}

TEST_F(BackgroundRegistrationTest, WithoutSystemdTheStatusIsNotFoundAndSwitchingOnSaysWhy) {
    auto options = installed();
    options.systemctl = (dir / "no-systemctl").string();
    BackgroundRegistration registration(options);
    loaded(registration);
    EXPECT_EQ(registration.status(), "notFound");
    test::await(registration.registerByDefault());
    EXPECT_EQ(registration.status(), "notFound") << "left untouched";
    EXPECT_FALSE(fs::exists(timerFile()));

    QSignalSpy errors(&registration, &BackgroundRegistration::errorChanged);
    test::await(registration.switchTo(true));
    EXPECT_EQ(registration.error(),
              "Background updates could not be turned on. The log under com.ostrel.hub has the details.");
    EXPECT_EQ(errors.count(), 1);
    EXPECT_FALSE(registration.enabled());
}

} // namespace
} // namespace ostrel::hub
