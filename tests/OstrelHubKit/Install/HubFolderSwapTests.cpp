// The installed hub folder swapped for a new build on real folders: kept when the new build
// starts, rolled back when it does not, and put right after a kill at every step. The hub
// program is stood in for by the probe (see HubBuilds.h), since the Kit is built without the app.
#include "HubBuilds.h"
#include "Install/HubFolderSwap.h"
#include "TempDir.h"

#include <set>

#include <gmock/gmock.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using test::makeHubFolder;

class HubFolderSwapTest : public testing::Test {
protected:
    test::TempDir dir_;
    fs::path installed_ = dir_ / "prefix" / "ostrel-hub";

    void SetUp() override { makeHubFolder(installed_, "1.0.0"); }

    // The new build staged beside the installed one.
    HubFolderSwap staged(const std::string& behaviour, double limit = HubFolderSwap::defaultSelfTestSeconds) const {
        HubFolderSwap swap(installed_, limit);
        makeHubFolder(swap.beginStaging(), "2.0.0", behaviour);
        return swap;
    }
};

TEST_F(HubFolderSwapTest, KeepsANewBuildThatStartsAndRemovesTheOldOne) {
    const auto swap = staged("start");
    EXPECT_EQ(swap.swapIn(), HubFolderSwap::Outcome::installed);
    EXPECT_EQ(HubFolderSwap::versionOf(installed_), "2.0.0");
    EXPECT_THAT(test::namesBeside(installed_), testing::ElementsAre("ostrel-hub"));
    EXPECT_EQ(swap.recover(), HubFolderSwap::Recovery::nothing);
}

TEST_F(HubFolderSwapTest, RollsBackANewBuildThatDoesNotStart) {
    const auto failing = staged("fail");
    EXPECT_EQ(failing.swapIn(), HubFolderSwap::Outcome::rolledBack);
    EXPECT_EQ(HubFolderSwap::versionOf(installed_), "1.0.0");
    EXPECT_THAT(test::namesBeside(installed_), testing::ElementsAre("ostrel-hub"));

    // One that never answers is stopped at the time limit and rolled back the same way.
    const auto hanging = staged("hang", 0.5);
    EXPECT_EQ(hanging.swapIn(), HubFolderSwap::Outcome::rolledBack);
    EXPECT_EQ(HubFolderSwap::versionOf(installed_), "1.0.0");
    EXPECT_THAT(test::namesBeside(installed_), testing::ElementsAre("ostrel-hub"));
}

TEST_F(HubFolderSwapTest, RefusesAStagedFolderThatIsNoHubBuildBeforeChangingAnything) {
    HubFolderSwap swap(installed_);
    const auto& staging = swap.beginStaging();
    test::writeFile(staging / "bin/ostrel-hub", "not a program");
    test::writeFile(staging / HubFolderSwap::versionFile, "2.0.0");
    EXPECT_THROW(swap.swapIn(), std::invalid_argument); // not executable
    fs::remove(staging / "bin/ostrel-hub");
    fs::create_symlink(OSTREL_HUB_PROBE, staging / "bin/ostrel-hub");
    EXPECT_THROW(swap.swapIn(), std::invalid_argument); // a link, not the program
    fs::remove(staging / "bin/ostrel-hub");
    makeHubFolder(staging, "2.0.0");
    fs::remove(staging / HubFolderSwap::versionFile);
    EXPECT_THROW(swap.swapIn(), std::invalid_argument); // no version
    EXPECT_EQ(HubFolderSwap::versionOf(installed_), "1.0.0");
    EXPECT_FALSE(fs::exists(swap.journal()));
}

TEST_F(HubFolderSwapTest, ReadsAVersionMarkerUpToItsLimit) {
    test::writeFile(installed_ / HubFolderSwap::versionFile, std::string(HubFolderSwap::maxVersionBytes, '1'));
    EXPECT_EQ(HubFolderSwap::versionOf(installed_)->size(), HubFolderSwap::maxVersionBytes);
    test::writeFile(installed_ / HubFolderSwap::versionFile, std::string(HubFolderSwap::maxVersionBytes + 1, '1'));
    EXPECT_EQ(HubFolderSwap::versionOf(installed_), std::nullopt);
    EXPECT_FALSE(HubFolderSwap::isHubBuild(installed_));
}

// Runs the swap in a child process that kills itself at its k-th step on disk; true when it died there.
bool killedAtStep(const HubFolderSwap& prepared, int k) {
    const pid_t child = ::fork();
    if (child == 0) {
        auto swap = prepared;
        int reached = 0;
        swap.setCheckpoint([&](std::string_view) {
            if (++reached == k)
                ::kill(::getpid(), SIGKILL);
        });
        try {
            swap.swapIn();
        } catch (...) {
            ::_exit(3);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << "the swap failed at step " << k;
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

TEST_F(HubFolderSwapTest, AKillAtAnyStepIsPutRightByTheNextRun) {
    for (const std::string behaviour : {"start", "fail"}) {
        const std::string expected = behaviour == "start" ? "2.0.0" : "1.0.0";
        std::set<HubFolderSwap::Recovery> seen;
        int k = 1;
        for (; k < 20; ++k) {
            fs::remove_all(installed_.parent_path());
            makeHubFolder(installed_, "1.0.0");
            const auto swap = staged(behaviour);
            if (!killedAtStep(swap, k))
                break;
            const auto recovery = swap.recover();
            seen.insert(recovery);
            const auto version = HubFolderSwap::versionOf(installed_);
            // Before the exchange the old build stays; after it, the new one is tested again.
            EXPECT_TRUE(version == "1.0.0" || version == expected) << behaviour << " step " << k;
            if (recovery == HubFolderSwap::Recovery::completed) {
                EXPECT_EQ(version, "2.0.0") << behaviour << " step " << k;
            }
            EXPECT_THAT(test::namesBeside(installed_), testing::ElementsAre("ostrel-hub"))
                << behaviour << " step " << k;
            EXPECT_EQ(swap.recover(), HubFolderSwap::Recovery::nothing) << behaviour << " step " << k;
        }
        EXPECT_GE(k, 5) << behaviour << ": too few steps were reached";
        EXPECT_EQ(HubFolderSwap::versionOf(installed_), expected) << behaviour << " after the last, unkilled run";
        // Kills before and after the exchange both happened and needed different repairs.
        EXPECT_TRUE(seen.contains(HubFolderSwap::Recovery::cleanedUp)) << behaviour;
        EXPECT_TRUE(seen.contains(behaviour == "start" ? HubFolderSwap::Recovery::completed
                                                       : HubFolderSwap::Recovery::rolledBack))
            << behaviour;
    }
}

TEST_F(HubFolderSwapTest, ALeftoverStagingFolderWithoutAJournalIsRemoved) {
    HubFolderSwap swap(installed_);
    makeHubFolder(swap.beginStaging(), "2.0.0");
    EXPECT_EQ(swap.recover(), HubFolderSwap::Recovery::cleanedUp);
    EXPECT_EQ(HubFolderSwap::versionOf(installed_), "1.0.0");
    EXPECT_THAT(test::namesBeside(installed_), testing::ElementsAre("ostrel-hub"));
}

} // namespace
} // namespace ostrel
