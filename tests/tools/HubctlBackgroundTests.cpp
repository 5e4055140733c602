// ostrel-hubctl background, run as its own process with the test's own XDG_CONFIG_HOME, over the
// real systemctl --user (which switches the unit files even where no user manager runs).
#include "Platform/LaunchAgent.h"
#include "TempDir.h"
#include "Util/Subprocess.h"

#include <cstdlib>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace ostrel;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

Subprocess::Result background(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "background");
    return Subprocess::run(OSTREL_HUBCTL, arguments, 60, {}, {{"XDG_CONFIG_HOME", std::getenv("XDG_CONFIG_HOME")}});
}

class HubctlBackground : public ::testing::Test {
protected:
    void SetUp() override { fs::remove_all(LaunchAgent::unitFolder()); }
    void TearDown() override { fs::remove_all(LaunchAgent::unitFolder()); }
    test::TempDir dir;
};

TEST_F(HubctlBackground, StatusShowsTheTimerAndDisableRemovesIt) {
    const auto units = "Units: " + (LaunchAgent::unitFolder() / "com.ostrel.hub.updater.timer").string() + "\n";
    const auto none = background({"status"});
    EXPECT_EQ(none.status, 0) << none.standardError;
    EXPECT_EQ(none.standardOutput, "Background updates are not registered.\n" + units);

    // Registered as the hub registers it.
    LaunchAgent({.executable = OSTREL_INSTALLED_HUB}).enable();
    const auto on = background({"status"});
    EXPECT_EQ(on.standardOutput, "Background updates are on: a systemd user timer starts " +
                                     std::string(OSTREL_INSTALLED_HUB) +
                                     " --background-update after login and every four hours.\n" + units);

    const auto off = background({"disable"});
    EXPECT_EQ(off.status, 0) << off.standardError;
    EXPECT_THAT(off.standardOutput, HasSubstr("Background updates are off."));
    EXPECT_FALSE(fs::exists(LaunchAgent::unitFolder() / "com.ostrel.hub.updater.timer"));
    EXPECT_EQ(background({"status"}).standardOutput, none.standardOutput);
}

TEST_F(HubctlBackground, EnableRegistersOnlyTheInstalledHub) {
    const auto enabled = background({"enable"});
    if (::access(OSTREL_INSTALLED_HUB, X_OK) == 0) {
        EXPECT_EQ(enabled.status, 0) << enabled.standardError;
        EXPECT_THAT(background({"status"}).standardOutput, HasSubstr("Background updates are on"));
        return;
    }
    EXPECT_EQ(enabled.status, 1);
    EXPECT_EQ(enabled.standardError, "Ostrel Hub is not installed at " + std::string(OSTREL_INSTALLED_HUB) +
                                         ", so there is nothing to run in the background.\n");
    EXPECT_FALSE(fs::exists(LaunchAgent::unitFolder() / "com.ostrel.hub.updater.timer"));
}

TEST_F(HubctlBackground, RunNowRunsTheHubsOwnBackgroundPassWithTheOptionsGiven) {
    const auto program = dir / "ostrel-hub";
    test::writeFile(program, "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/arguments\"\necho pass >&2\nexit 3\n");
    fs::permissions(program, fs::perms::owner_all);
    const auto ran = background({"run-now", "--hub", program.string(), "--config", "demo.json", "--data", "d"});
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(test::readFile(dir / "arguments"), "--background-update --config demo.json --data d\n");
    EXPECT_EQ(ran.standardError, "pass\n");
    EXPECT_THAT(ran.standardOutput, HasSubstr("The background update ended with status 3."));

    const auto unknown = background({"later"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_THAT(unknown.standardError, HasSubstr("Unknown action later"));
}

} // namespace
