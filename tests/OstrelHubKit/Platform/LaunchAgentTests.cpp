// The background agent as systemd user units, switched with the real systemctl. systemctl
// --user enables and disables from the unit files even where no user manager runs (as here,
// where the test's runtime folder holds none); what needs a running manager is said and skipped.
#include "Platform/LaunchAgent.h"
#include "TempDir.h"
#include "Util/Subprocess.h"

#include <gmock/gmock.h>

#include <unistd.h>

using namespace ostrel;
namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

constexpr auto unitPermissions =
    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;

// A real program at a path with a space and a "%", which both need care in a unit file.
fs::path hubProgramIn(const test::TempDir& dir) {
    const auto program = dir / "Ostrel Hub 100%" / "bin" / "ostrel-hub";
    test::writeFile(program, "#!/bin/sh\nexit 0\n");
    fs::permissions(program, fs::perms::owner_all);
    return program;
}

class LaunchAgentTest : public ::testing::Test {
protected:
    void SetUp() override { fs::remove_all(LaunchAgent::unitFolder()); }
    void TearDown() override { fs::remove_all(LaunchAgent::unitFolder()); }

    test::TempDir dir;
    LaunchAgent agent{{.executable = hubProgramIn(dir)}};
};

TEST_F(LaunchAgentTest, TheUnitsStartTheHubInTheBackgroundAfterLoginAndEveryFewHours) {
    const auto service = agent.serviceUnit();
    EXPECT_THAT(service, HasSubstr("\nExecStart=\"" + (dir / "Ostrel Hub 100%%" / "bin" / "ostrel-hub").string() +
                                   "\" --background-update\n"));
    EXPECT_THAT(service, HasSubstr("\nType=oneshot\n"));
    const auto timer = agent.timerUnit();
    for (const char* line :
         {"\nOnStartupSec=5min\n", "\nOnCalendar=*-*-* 00/4:00:00\n", "\nRandomizedDelaySec=30min\n",
          "\nPersistent=true\n", "\nUnit=com.ostrel.hub.updater.service\n", "\nWantedBy=timers.target\n"})
        EXPECT_THAT(timer, HasSubstr(line));

    // systemd itself reads both files: the program must resolve to the real file, the schedule must parse.
    agent.enable();
    const std::string analyze = "/usr/bin/systemd-analyze";
    if (::access(analyze.c_str(), X_OK) != 0)
        GTEST_SKIP() << "systemd-analyze is not installed, so systemd's own reading of the units is not checked";
    const auto verified = Subprocess::run(analyze,
                                          {"--user", "verify", (LaunchAgent::unitFolder() / LaunchAgent::serviceName),
                                           (LaunchAgent::unitFolder() / LaunchAgent::timerName)},
                                          60, {}, LaunchAgent::sessionEnvironment());
    EXPECT_EQ(verified.status, 0) << verified.standardError;
    EXPECT_EQ(verified.standardError, "");
}

TEST_F(LaunchAgentTest, EnablingWritesReadableUnitsAndSystemctlSwitchesTheTimer) {
    EXPECT_EQ(agent.status(), LaunchAgent::Status::notRegistered);
    agent.enable();
    const auto folder = fs::path(std::getenv("XDG_CONFIG_HOME")) / "systemd" / "user";
    EXPECT_EQ(LaunchAgent::unitFolder(), folder);
    EXPECT_EQ(test::readFile(folder / "com.ostrel.hub.updater.service"), agent.serviceUnit());
    EXPECT_EQ(test::readFile(folder / "com.ostrel.hub.updater.timer"), agent.timerUnit());
    for (const char* unit : {"com.ostrel.hub.updater.service", "com.ostrel.hub.updater.timer"})
        EXPECT_EQ(fs::status(folder / unit).permissions(), unitPermissions) << unit;
    EXPECT_TRUE(fs::is_symlink(folder / "timers.target.wants" / "com.ostrel.hub.updater.timer"))
        << "systemctl enabled the timer";
    EXPECT_EQ(agent.status(), LaunchAgent::Status::enabled);
    agent.enable(); // again: harmless
    EXPECT_EQ(agent.status(), LaunchAgent::Status::enabled);

    // Switched off outside the hub: the files stay, the agent is no longer registered.
    Subprocess::check("/usr/bin/systemctl", {"--user", "disable", "com.ostrel.hub.updater.timer"}, 60, {},
                      LaunchAgent::sessionEnvironment());
    EXPECT_EQ(agent.status(), LaunchAgent::Status::notRegistered);

    agent.enable();
    agent.disable();
    EXPECT_FALSE(fs::exists(folder / "com.ostrel.hub.updater.service"));
    EXPECT_FALSE(fs::exists(folder / "com.ostrel.hub.updater.timer"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "timers.target.wants" / "com.ostrel.hub.updater.timer")));
    EXPECT_EQ(agent.status(), LaunchAgent::Status::notRegistered);
    agent.disable(); // nothing registered: harmless
}

TEST_F(LaunchAgentTest, ARunningUserManagerStartsTheTimerAtOnce) {
    if (!agent.managerRunning())
        GTEST_SKIP() << "no systemd user manager is reachable from this test's session, so starting the timer "
                        "in a running manager cannot be checked here; the unit files and systemctl's enable and "
                        "disable are checked by the other tests";
    agent.enable();
    const auto active = Subprocess::run("/usr/bin/systemctl", {"--user", "is-active", "com.ostrel.hub.updater.timer"},
                                        60, {}, LaunchAgent::sessionEnvironment());
    EXPECT_EQ(active.standardOutput, "active\n");
    agent.disable();
}

TEST_F(LaunchAgentTest, WithoutSystemdThereIsNoAgentAndSwitchingItOnSaysSo) {
    LaunchAgent missing({.executable = agent.executable(), .systemctl = (dir / "no-systemctl").string()});
    EXPECT_EQ(missing.status(), LaunchAgent::Status::notFound);
    EXPECT_EQ(rawValue(missing.status()), "notFound");
    EXPECT_FALSE(missing.managerRunning());
    try {
        missing.enable();
        ADD_FAILURE() << "enabled without systemctl";
    } catch (const LaunchAgentError& error) {
        EXPECT_STREQ(error.what(),
                     "Background updates could not be turned on. The log under com.ostrel.hub has the details.");
    }
}

TEST(LaunchAgent, AProgramAUnitFileCannotNameIsRefused) {
    for (const char* program : {"ostrel-hub", "bin/ostrel-hub", "/opt/a\"b/ostrel-hub", "/opt/a\\b/ostrel-hub",
                                "/opt/$HOME/ostrel-hub", "/opt/a\nb/ostrel-hub"})
        EXPECT_THROW(LaunchAgent({.executable = program}), LaunchAgentError) << program;
    EXPECT_NO_THROW(LaunchAgent({.executable = "/opt/Ostrel Hub/bin/ostrel-hub"}));
}

} // namespace
