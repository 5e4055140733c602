#include "TempDir.h"
#include "Util/Subprocess.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

using namespace ostrel;
using ::testing::UnorderedElementsAre;

namespace {

Subprocess::Result sh(const std::string& script, double timeout = 30) {
    return Subprocess::run("/bin/sh", {"-c", script}, timeout);
}

struct ProcessState {
    std::string state; // "R", "S", "Z", ...; empty when there is no such process
    std::string parent;
};

ProcessState stateOf(const std::filesystem::path& procEntry) {
    std::ifstream stat(procEntry / "stat");
    std::string line;
    if (!std::getline(stat, line))
        return {};
    // Fields after the command name: state, parent pid.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    ProcessState result;
    rest >> result.state >> result.parent;
    return result;
}

// Children of this test process that have ended but were never reaped.
int zombieChildren() {
    int count = 0;
    const std::string self = std::to_string(::getpid());
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const auto process = stateOf(entry.path());
        if (process.parent == self && process.state == "Z")
            ++count;
    }
    return count;
}

// The shell creates the file before it writes the number, so wait for the whole line.
std::string waitForPid(const std::filesystem::path& pidFile) {
    std::string text = test::readFile(pidFile);
    for (int i = 0; i < 500 && text.find('\n') == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        text = test::readFile(pidFile);
    }
    return text;
}

// Still running; an orphan that has ended but waits for the system to reap it does not count.
bool processRuns(pid_t pid) {
    const auto state = stateOf("/proc/" + std::to_string(pid)).state;
    return !state.empty() && state != "Z" && state != "X";
}

} // namespace

TEST(Subprocess, DrainsLargeOutputOnBothStreamsWhileTheToolRuns) {
    // 8 MB on standard output interleaved with 1 MB on standard error: a runner
    // that read one stream after the other would deadlock on a full pipe.
    const auto result = sh("head -c 1048576 /dev/zero | tr '\\0' e >&2 & head -c 8388608 /dev/zero; wait");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.standardOutput.size(), 8u * 1024 * 1024);
    EXPECT_EQ(result.standardError.size(), 1024u * 1024);
    EXPECT_EQ(result.standardError.find_first_not_of('e'), std::string::npos);
}

TEST(Subprocess, EachStreamIsReadUpToItsCapAndAToolThatGoesOnIsStopped) {
    const auto cap = std::to_string(Subprocess::maxOutputBytes);
    const auto atCap = sh("head -c " + cap + " /dev/zero");
    EXPECT_EQ(atCap.status, 0);
    EXPECT_EQ(atCap.standardOutput.size(), Subprocess::maxOutputBytes);
    const auto refused = [](const std::string& tool, const std::vector<std::string>& arguments) {
        try {
            // Stopped for its output at once, a tool never reaches this limit.
            Subprocess::run(tool, arguments, 10);
        } catch (const Subprocess::ToolFailed& e) {
            return e.detail();
        }
        return std::string("finished");
    };
    const auto detail = "printed more than " + cap + " bytes";
    EXPECT_EQ(refused("/bin/sh", {"-c", "head -c $((" + cap + " + 1)) /dev/zero"}), detail);
    // Tools that would print for ever, on either stream, end long before their time limit.
    EXPECT_EQ(refused("/usr/bin/yes", {}), detail);
    EXPECT_EQ(refused("/bin/sh", {"-c", "yes >&2"}), detail);
    EXPECT_EQ(zombieChildren(), 0);
}

TEST(Subprocess, TimeOutFailsPromptlyAndLeavesNoProcess) {
    test::TempDir dir;
    const auto pidFile = dir / "pid";
    const auto start = std::chrono::steady_clock::now();
    try {
        // The tool ignores the terminate request and starts a helper of its own.
        // A second is ample for it to start and write its helper's pid, even on a loaded machine.
        sh("trap '' TERM; sleep 30 & echo $! > '" + pidFile.string() + "'; while :; do sleep 0.01; done", 1);
        FAIL() << "expected a time-out";
    } catch (const Subprocess::ToolFailed& e) {
        EXPECT_EQ(e.tool(), "sh");
        EXPECT_EQ(e.detail(), "timed out");
        EXPECT_STREQ(e.what(), "sh failed: timed out");
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(1000));
    // Promptly after the limit: one poll period plus the grace, with generous room for a loaded
    // machine, and far from the 30 seconds the tool would have run.
    EXPECT_LT(elapsed, std::chrono::milliseconds(1000 + 1000));
    EXPECT_EQ(zombieChildren(), 0);
    const auto written = test::readFile(pidFile);
    ASSERT_FALSE(written.empty()) << "the tool was stopped before it wrote its helper's pid";
    const pid_t helper = std::stoi(written);
    // The kill is delivered to the helper asynchronously; give the system a moment to carry it out.
    for (int i = 0; i < 200 && processRuns(helper); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(processRuns(helper)) << "the tool's own helper outlived it";
}

TEST(Subprocess, RunReturnsAnyStatusAndCheckThrowsTheTrimmedError) {
    const auto failing = sh("printf '  word \\n' >&2; exit 1");
    EXPECT_EQ(failing.status, 1);
    EXPECT_EQ(failing.standardError, "  word \n");
    try {
        Subprocess::check("/bin/sh", {"-c", "printf '  word \\n' >&2; exit 1"}, 30);
        FAIL() << "expected check to throw";
    } catch (const Subprocess::ToolFailed& e) {
        EXPECT_STREQ(e.what(), "sh failed: word");
        EXPECT_EQ(e.detail(), "word");
    }
    const auto quiet = Subprocess::check("/bin/sh", {"-c", "echo note >&2"}, 30);
    EXPECT_EQ(quiet.standardError, "note\n");
    EXPECT_THROW(Subprocess::check("/bin/sh", {"-c", "exit 3"}, 30), Subprocess::ToolFailed);
}

TEST(Subprocess, ToolSeesOnlyTheFourEnvironmentEntries) {
    ::setenv("OSTREL_SECRET_SHOULD_NOT_LEAK", "1", 1);
    ::setenv("LD_PRELOAD", "", 1);
    const auto result = Subprocess::check("/usr/bin/env", {}, 30);
    std::vector<std::string> keys;
    std::istringstream lines(result.standardOutput);
    for (std::string line; std::getline(lines, line);)
        keys.push_back(line.substr(0, line.find('=')));
    EXPECT_THAT(keys, UnorderedElementsAre("PATH", "HOME", "TMPDIR", "LANG"));
    EXPECT_NE(result.standardOutput.find("PATH=/usr/bin:/bin:/usr/sbin:/sbin\n"), std::string::npos);
    EXPECT_NE(result.standardOutput.find("LANG=en_US.UTF-8\n"), std::string::npos);

    // Entries given for one tool join the four, replacing one of the same name, and stay with it.
    const auto given = Subprocess::check("/usr/bin/env", {}, 30, {}, {{"XDG_RUNTIME_DIR", "/run/x"}, {"LANG", "C"}});
    EXPECT_NE(given.standardOutput.find("XDG_RUNTIME_DIR=/run/x\n"), std::string::npos);
    EXPECT_NE(given.standardOutput.find("LANG=C\n"), std::string::npos);
    EXPECT_EQ(given.standardOutput.find("LANG=en_US.UTF-8"), std::string::npos);
    EXPECT_EQ(Subprocess::check("/usr/bin/env", {}, 30).standardOutput, result.standardOutput);
}

TEST(Subprocess, ArgumentsAreNeverInterpretedByAShell) {
    const auto result = Subprocess::check("/bin/echo", {"$HOME", "a b", ";", "`id`"}, 30);
    EXPECT_EQ(result.standardOutput, "$HOME a b ; `id`\n");
}

TEST(Subprocess, InputIsEmptyAndInvalidUtf8IsRepaired) {
    const auto input = Subprocess::check("/bin/cat", {}, 30);
    EXPECT_EQ(input.standardOutput, "");
    const auto bad = sh("printf 'a\\377b' >&2");
    EXPECT_EQ(bad.standardError, "a\xEF\xBF\xBD"
                                 "b");
}

TEST(Subprocess, MissingExecutableThrowsALaunchError) {
    try {
        Subprocess::run("/nonexistent/tool", {}, 5);
        FAIL() << "expected a launch error";
    } catch (const Subprocess::LaunchError& e) {
        EXPECT_EQ(e.errorNumber(), ENOENT);
        EXPECT_THAT(e.what(), ::testing::HasSubstr("tool"));
    }
    EXPECT_EQ(Subprocess::toolName("/usr/sbin/pkgutil"), "pkgutil");
}

TEST(Subprocess, StopRequestEndsTheToolAndItsHelpers) {
    test::TempDir dir;
    const auto pidFile = dir / "pid";
    std::stop_source stop;
    std::string written;
    std::thread requester([&] {
        written = waitForPid(pidFile);
        stop.request_stop();
    });
    EXPECT_THROW(Subprocess::run("/bin/sh", {"-c", "sleep 30 & echo $! > '" + pidFile.string() + "'; wait"}, 60,
                                 stop.get_token()),
                 Cancelled);
    requester.join();
    EXPECT_EQ(zombieChildren(), 0);
    ASSERT_FALSE(written.empty()) << "the tool never wrote its helper's pid";
    const pid_t helper = std::stoi(written);
    for (int i = 0; i < 200 && processRuns(helper); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(processRuns(helper));
}

TEST(Subprocess, ToolDiesWithTheProcessThatStartedIt) {
    test::TempDir dir;
    const auto pidFile = dir / "pid";
    const pid_t hub = ::fork();
    ASSERT_GE(hub, 0);
    if (hub == 0) {
        // Stands in for a hub that is killed in the middle of an unpack.
        Subprocess::run("/bin/sh", {"-c", "echo $$ > '" + pidFile.string() + "'; exec sleep 30"}, 60);
        ::_exit(0);
    }
    const auto written = waitForPid(pidFile);
    ASSERT_FALSE(written.empty()) << "the tool never wrote its pid";
    const pid_t tool = std::stoi(written);
    ASSERT_TRUE(processRuns(tool));
    ::kill(hub, SIGKILL);
    ::waitpid(hub, nullptr, 0);
    for (int i = 0; i < 100 && processRuns(tool); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(processRuns(tool)) << "the tool outlived the killed hub by a second";
}

TEST(Subprocess, ToolInheritsNoDescriptorOfTheHub) {
    test::TempDir dir;
    std::ofstream open(dir / "held-open"); // an ordinary descriptor without close-on-exec
    const auto result = Subprocess::check("/bin/ls", {"/proc/self/fd"}, 30);
    std::istringstream lines(result.standardOutput);
    std::vector<std::string> fds;
    for (std::string line; std::getline(lines, line);)
        fds.push_back(line);
    // 0-2, and the one ls itself opened to read the folder.
    EXPECT_THAT(fds, UnorderedElementsAre("0", "1", "2", "3"));
}
