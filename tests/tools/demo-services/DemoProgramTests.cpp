// ostrel-demo-services as a program, run as its own process: what it says about itself and how
// it refuses to start.
#include "DemoServices.h"
#include "TempDir.h"
#include "Util/Subprocess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

namespace ostrel::demo {
namespace {

using ::testing::HasSubstr;

constexpr double programTimeLimit = 60;

TEST(DemoProgram, RefusesAPortAnotherInstanceListensOn) {
    test::TempDir dir;
    DemoServices first(DemoServicesOptions{.stateFolder = dir / "state",
                                           .catalogueFile = OSTREL_DEMO_CATALOGUE,
                                           .makeRelease = makeZipRelease,
                                           .log = [](const std::string&) {}});
    first.start();
    const auto port = std::to_string(first.port());
    const auto second =
        Subprocess::run(OSTREL_DEMO_SERVICES, {"--state", (dir / "state").string(), "--port", port}, programTimeLimit);
    EXPECT_EQ(second.status, 1);
    EXPECT_THAT(second.standardError, HasSubstr("ostrel-demo-services: The port 127.0.0.1:" + port +
                                                " is already in use, perhaps by another ostrel-demo-services"));
    EXPECT_EQ(second.standardOutput, "");
}

TEST(DemoProgram, HelpNamesTheStateFolderUsedWithoutOne) {
    const auto help = Subprocess::run(OSTREL_DEMO_SERVICES, {"--help"}, programTimeLimit);
    EXPECT_EQ(help.status, 0);
    // The program runs without XDG_STATE_HOME here, so its folder is in the temporary folder it is given.
    const auto expected = std::filesystem::path(Subprocess::environment().at("TMPDIR")) /
                          ("ostrel-demo-services-" + std::to_string(getuid()));
    EXPECT_THAT(help.standardOutput, HasSubstr("here and now: " + expected.string() + ")\n"));
}

} // namespace
} // namespace ostrel::demo
