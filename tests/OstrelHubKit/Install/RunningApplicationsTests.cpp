#include "Platform/RunningApplications.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ostrel;
namespace fs = std::filesystem;

TEST(RunningApplications, FindsAProgramStartedFromInsideTheBundle) {
    test::TempDir dir;
    const auto app = dir / "Tool.app";
    fs::create_directories(app / "Contents/MacOS");
    fs::copy_file("/usr/bin/sleep", app / "Contents/MacOS/Tool");
    fs::create_directories(dir / "Tool.app.old");
    EXPECT_FALSE(RunningApplications::isRunning(app));

    const pid_t child = ::fork();
    if (child == 0) {
        const std::string program = (app / "Contents/MacOS/Tool").string();
        ::execl(program.c_str(), "Tool", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Wait until the child has become the bundle's program.
    for (int i = 0; i < 500 && !RunningApplications::isRunning(app); ++i)
        ::usleep(10'000);
    EXPECT_EQ(RunningApplications::processesInside(app), std::vector<pid_t>{child});
    EXPECT_FALSE(RunningApplications::isRunning(dir / "Tool.app.old")) << "a sibling with a longer name";
    EXPECT_FALSE(RunningApplications::isRunning(dir / "Missing.app"));

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(RunningApplications::isRunning(app));
}
