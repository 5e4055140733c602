// `ostrel-hubctl` against the store: the demo services in this process, the real command as a
// child process whose home, data and cache folders lie in the test's temporary folder, and its
// session in the Secret Service of the private bus that scripts/with-keyring starts.
#include "Install/InstallLedger.h"
#include "PrivateSessionBus.h"
#include "RecordedVersion.h"
#include "RunningDemo.h"
#include "Services/CurlTransport.h"
#include "Services/ServiceConfig.h"
#include "TempDir.h"

#include <set>
#include <thread>

#include <gmock/gmock.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ostrel::demo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;

struct Finished {
    int status = 0; // the exit status, or minus the signal that ended it
    std::string out;
    std::string err; // the Kit's log lines come first when there is no journal

    // What the command itself said last on standard error.
    std::string said() const {
        const auto end = err.find_last_not_of('\n');
        return end == std::string::npos ? "" : err.substr(err.rfind('\n', end) + 1, end - err.rfind('\n', end));
    }
};

struct Hubctl : RunningDemo {
    fs::path data = dir / "home/.local/share/Ostrel Hub";
    fs::path work = dir / "home/.cache/com.ostrel.hub/work";

    // Starts the command with the store options; `input` is its standard input.
    pid_t start(std::vector<std::string> words, const std::string& input = "") {
        const std::set<std::string> account{"signin", "signout", "whoami", "storefront"}, local{"ledger", "uninstall"};
        if (!local.contains(words[0]))
            words.insert(words.end(), {"--config", services.configFile().string()});
        if (!account.contains(words[0]))
            words.insert(words.end(), {"--data", data.string()});
        if (!account.contains(words[0]) && words[0] != "owned" && words[0] != "ledger")
            words.insert(words.end(), {"--anchors", services.codeSigningRoot().string()});
        test::writeFile(dir / "stdin", input);
        std::vector<std::string> env{"HOME=" + (dir / "home").string(),
                                     "XDG_DATA_HOME=" + (dir / "home/.local/share").string(),
                                     "XDG_CACHE_HOME=" + (dir / "home/.cache").string()};
        for (char** entry = environ; *entry != nullptr; ++entry)
            if (!std::string_view(*entry).starts_with("HOME=") && !std::string_view(*entry).starts_with("XDG_"))
                env.emplace_back(*entry);
        words.insert(words.begin(), OSTREL_HUBCTL);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 0, (dir / "stdin").c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&files, 1, (dir / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&files, 2, (dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = -1;
        const int failed =
            posix_spawn(&pid, OSTREL_HUBCTL, &files, nullptr, pointers(words).data(), pointers(env).data());
        posix_spawn_file_actions_destroy(&files);
        EXPECT_EQ(failed, 0);
        return pid;
    }

    Finished wait(pid_t pid) {
        int raw = 0;
        ::waitpid(pid, &raw, 0);
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw), test::readFile(dir / "stdout"),
                test::readFile(dir / "stderr")};
    }

    Finished run(const std::vector<std::string>& words, const std::string& input = "") {
        return wait(start(words, input));
    }

    void signIn() { ASSERT_EQ(run({"signin", "demo@ostrel.test"}, "demo\n").status, 0); }

    void fault(const std::string& query) {
        const Url control("https://releases.storage.ostrel.localhost/_demo/fault?" + query);
        ASSERT_EQ(transport.send(HTTPRequest{.url = control, .method = "POST"}).status, 200);
    }

    // Whether some file of a download in progress holds bytes yet.
    bool downloadStarted() const {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(work, ignored))
            if (entry.is_regular_file(ignored) && entry.path().extension() == ".partial" &&
                entry.file_size(ignored) > 0)
                return true;
        return false;
    }

    static std::vector<char*> pointers(std::vector<std::string>& words) {
        std::vector<char*> result;
        for (auto& word : words)
            result.push_back(word.data());
        result.push_back(nullptr);
        return result;
    }
};

class HubctlStore : public ::testing::Test {
protected:
    void SetUp() override { OSTREL_REQUIRE_PRIVATE_SESSION_BUS(); }
};

TEST_F(HubctlStore, SignsInListsInstallsUpdatesAndUninstallsThroughTheStore) {
    Hubctl hub;
    const auto wrong = hub.run({"signin", "--email", "demo@ostrel.test"}, "not-the-password\n");
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.said(), "That email and password did not match an Ostrel store account.");
    // Standard input is read only as far as a password can go.
    const std::string longest(4096, 'p');
    EXPECT_EQ(hub.run({"signin", "demo@ostrel.test"}, longest + "\n").said(),
              "That email and password did not match an Ostrel store account.");
    const auto tooLong = hub.run({"signin", "demo@ostrel.test"}, longest + "p\n");
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_EQ(tooLong.said(), "The password is longer than 4096 bytes.");
    EXPECT_EQ(hub.run({"whoami"}).said(), "Sign in to continue.");

    hub.signIn();
    const auto who = hub.run({"whoami"});
    EXPECT_EQ(who.status, 0);
    EXPECT_EQ(who.out, "Demo Customer <demo@ostrel.test>\n");
    const auto owned = hub.run({"owned"});
    EXPECT_EQ(owned.status, 0);
    for (const char* product : {"aurora-verb", "pulse-gate", "sketchpad"})
        EXPECT_THAT(owned.out, HasSubstr(product));
    EXPECT_THAT(owned.out, Not(HasSubstr("velvet-comp"))) << "not owned";
    const auto shelf = hub.run({"storefront"});
    EXPECT_EQ(shelf.status, 0) << shelf.err;
    EXPECT_THAT(shelf.out, ::testing::ContainsRegex("\nVelvet Comp +velvet-comp +product +[0-9.]+ +USD 59.00 +no\n"));
    EXPECT_THAT(shelf.out, ::testing::ContainsRegex("\nMeter One +meter-one +product +[0-9.]+ +free +yes\n"));

    const auto checked = hub.run({"check", "pulse-gate"});
    EXPECT_EQ(checked.status, 0) << checked.err;
    EXPECT_THAT(checked.out, HasSubstr("passed every check"));
    EXPECT_FALSE(fs::exists(hub.dir / "home/Library")) << "a check places nothing";
    EXPECT_EQ(hub.run({"ledger"}).out, "Nothing installed.\n");

    const auto installed = hub.run({"install", "aurora-verb"});
    EXPECT_EQ(installed.status, 0) << installed.err;
    EXPECT_THAT(installed.out, HasSubstr("Downloading\nChecking signatures\nInstalling\nDone\nInstalled Aurora Verb"));
    EXPECT_TRUE(fs::exists(hub.dir / "home/Library/Audio/Plug-Ins/VST3/Aurora Verb.vst3"));
    EXPECT_THAT(hub.run({"ledger"}).out, HasSubstr("Aurora Verb (aurora-verb)"));
    const auto recorded = test::recordedVersion(InstallLedger(hub.data), "aurora-verb");
    ASSERT_TRUE(recorded) << "the install left no ledger entry";
    const auto version = *recorded;
    EXPECT_THAT(hub.run({"owned"}).out,
                ::testing::ContainsRegex("aurora-verb +[^ ]+ +" + version + " +" + version + "\n"))
        << "the store's version and the installed one";
    EXPECT_EQ(hub.run({"update"}).out, "Everything is up to date.\n");

    {
        InstallLedger ledger(hub.data);
        auto outdated = *ledger.record("aurora-verb");
        outdated.version = "0.1";
        ledger.save(outdated);
        outdated.productId = "no-such-product";
        outdated.productName = "Gone";
        outdated.items = {};
        ledger.save(outdated);
    }
    const auto updated = hub.run({"update"});
    EXPECT_EQ(updated.status, 1) << "one product failed";
    EXPECT_EQ(updated.out, "Updated Aurora Verb to " + version + ".\n");
    EXPECT_THAT(updated.said(), HasSubstr("Gone was not updated: "));
    InstallLedger(hub.data).remove("no-such-product");
    EXPECT_THAT(hub.run({"ledger"}).out, Not(HasSubstr(" 0.1, installed")));

    const auto removed = hub.run({"uninstall", "aurora-verb"});
    EXPECT_EQ(removed.status, 0) << removed.err;
    EXPECT_FALSE(fs::exists(hub.dir / "home/Library/Audio/Plug-Ins/VST3/Aurora Verb.vst3"));
    EXPECT_EQ(hub.run({"signout"}).status, 0);
    EXPECT_EQ(hub.run({"update"}).said(), "Sign in to continue.");
}

TEST_F(HubctlStore, CtrlCPausesAStalledDownloadAndTheSameInstallResumesIt) {
    Hubctl hub;
    hub.signIn();
    hub.fault("mode=stall&count=1");
    const pid_t child = hub.start({"install", "aurora-verb"});
    for (int tries = 0; tries < 600 && !hub.downloadStarted(); ++tries)
        std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(hub.downloadStarted()) << "the download never began";
    ::kill(child, SIGINT);
    const auto stopped = hub.wait(child);
    hub.fault("mode=none");
    EXPECT_EQ(stopped.status, 130) << stopped.err;
    EXPECT_THAT(stopped.err, HasSubstr("Run the same install again to resume the download."));
    EXPECT_FALSE(InstallLedger(hub.data).record("aurora-verb"));

    const auto resumed = hub.run({"install", "aurora-verb"});
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_THAT(resumed.err, HasSubstr("Resuming the download."));
    EXPECT_TRUE(InstallLedger(hub.data).record("aurora-verb"));
    EXPECT_TRUE(!fs::exists(hub.work) || fs::is_empty(hub.work)) << "the work folder is gone";
}

} // namespace
} // namespace ostrel::demo
