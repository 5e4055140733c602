#include "Install/BundleInstaller.h"
#include "Platform/Trash.h"
#include "SignedBundleFixture.h"

#include <algorithm>

#include <gmock/gmock.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ostrel::test {
namespace {

namespace fs = std::filesystem;
using fixtures::BundleSigner;

class BundleInstallerTest : public SignedBundleFixture {
protected:
    fs::path home = dir_ / "home";

    // The Trash belongs to the test program, not to one test.
    void SetUp() override { fs::remove_all(Trash::homeTrash()); }

    BundleInstaller installer() const {
        return {.verifier = CodeVerifier(policy(), trust()), .home = home, .applications = home / "Applications"};
    }

    static std::vector<fs::path> trashed() {
        std::vector<fs::path> items;
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(Trash::homeTrash() / "files", ignored))
            items.push_back(entry.path());
        std::sort(items.begin(), items.end());
        return items;
    }

    fs::path vst3Folder() const { return home / "Library/Audio/Plug-Ins/VST3"; }

    static std::string contentOf(const fs::path& bundle) { return readFile(bundle / "Contents/Resources/data"); }
};

TEST_F(BundleInstallerTest, InstallsVerifiedBundlesAndReplacesTheSameProductViaTheTrash) {
    const auto first = echo("1.2", "first");
    const auto items = installer().install({first.staged});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].path, (vst3Folder() / "Echo.vst3").string());
    EXPECT_EQ(items[0].identifier, "com.ostrel.echo");
    EXPECT_EQ(items[0].teamID, "K7QZ2M4XNB");
    EXPECT_EQ(items[0].version, "1.2");
    EXPECT_EQ(contentOf(vst3Folder() / "Echo.vst3"), "com.ostrel.echo1.2");

    const auto second = echo("1.3", "second");
    const auto verified = installer().verifyAll({second.staged});
    const auto previous = installer().place(second.staged.url, vst3Folder() / "Echo.vst3", verified[0].second);
    ASSERT_TRUE(previous.has_value());
    EXPECT_EQ(previous->parent_path(), Trash::homeTrash() / "files");
    EXPECT_EQ(contentOf(*previous), "com.ostrel.echo1.2");
    EXPECT_EQ(contentOf(vst3Folder() / "Echo.vst3"), "com.ostrel.echo1.3");
    for (const auto& entry : fs::directory_iterator(vst3Folder()))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << "temporary copy left behind";
}

TEST_F(BundleInstallerTest, RefusesBeforeMovingAnything) {
    EXPECT_EQ(refusal([&] { installer().install({}); }), "The download contains no Mac app or plug-in.");

    const auto unsignedBundle = bundle("Plain.clap", "com.ostrel.plain", "1.0", std::nullopt);
    EXPECT_EQ(refusal([&] {
                  installer().install({echo().staged, unsignedBundle.staged});
              }),
              "Plain.clap is not code signed. Install blocked.");
    EXPECT_FALSE(fs::exists(vst3Folder() / "Echo.vst3")) << "nothing placed before every check passed";

    const auto app = bundle("Tool.app", "com.ostrel.tool", "1.0", pki().application);
    EXPECT_EQ(refusal([&] { installer().install({app.staged}); }),
              "Tool.app is signed by Ostrel but has not been notarized by Apple. Install blocked.");
    BundleSigner::staple(app.staged.url, app.code);
    EXPECT_EQ(installer().install({app.staged}).size(), 1u);
}

TEST_F(BundleInstallerTest, RepairsWithTheSameReleaseButRefusesOlderOnesUnlessAllowed) {
    installer().install({echo("1.10", "installed").staged});
    // The same release again is a repair: it lands, and the copy it replaces goes to the Trash.
    const auto again = echo("1.10", "again");
    EXPECT_EQ(installer().install({again.staged})[0].version, "1.10");
    EXPECT_EQ(trashed(), std::vector<fs::path>{Trash::homeTrash() / "files/Echo.vst3"});
    EXPECT_EQ(contentOf(Trash::homeTrash() / "files/Echo.vst3"), "com.ostrel.echo1.10");

    const auto older = echo("1.2", "older");
    EXPECT_EQ(refusal([&] { installer().install({older.staged}); }),
              "Echo.vst3 1.2 is older than the installed 1.10. Refused, so an old release cannot replace a newer "
              "one.");
    auto lenient = installer();
    lenient.allowDowngrade = true;
    EXPECT_EQ(lenient.install({older.staged})[0].version, "1.2");
}

TEST_F(BundleInstallerTest, NeverReplacesSomethingElse) {
    const auto cases = std::vector<std::pair<std::string, std::function<void(const fs::path&)>>>{
        {"unsigned",
         [&](const fs::path& at) { fs::rename(bundle("Echo.vst3", "x", "1", std::nullopt).staged.url, at); }},
        {"another team",
         [&](const fs::path& at) {
             fs::rename(bundle("Echo.vst3", "com.ostrel.echo", "1", pki().otherApplication).staged.url, at);
         }},
        {"a dangling link", [&](const fs::path& at) { fs::create_symlink(dir_ / "nowhere", at); }},
    };
    for (const auto& [what, occupy] : cases) {
        fs::remove_all(vst3Folder());
        fs::create_directories(vst3Folder());
        occupy(vst3Folder() / "Echo.vst3");
        const auto before = fs::symlink_status(vst3Folder() / "Echo.vst3").type();
        EXPECT_EQ(refusal([&] { installer().install({echo("1.2", what).staged}); }),
                  "Something that is not this Ostrel product is already installed as Echo.vst3. Nothing was "
                  "replaced. Move it aside to install.")
            << what;
        EXPECT_EQ(fs::symlink_status(vst3Folder() / "Echo.vst3").type(), before) << what << " was touched";
    }
}

TEST_F(BundleInstallerTest, RollsBackEarlierBundlesWhenALaterOneFails) {
    installer().install({echo("1.2", "old").staged});
    const auto trashBefore = trashed();
    const fs::path componentFolder = home / "Library/Audio/Plug-Ins/Components";
    fs::create_directories(componentFolder / "Verb.component");
    test::writeFile(componentFolder / "Verb.component/not-ours", "x");

    const auto newer = echo("1.3", "new");
    const auto verb = bundle("Verb.component", "com.ostrel.verb", "2.0", pki().application);
    EXPECT_THAT(refusal([&] {
                    installer().install({newer.staged, verb.staged});
                }),
                ::testing::StartsWith("Something that is not this Ostrel product"));
    EXPECT_EQ(contentOf(vst3Folder() / "Echo.vst3"), "com.ostrel.echo1.2") << "the previous copy came back";
    EXPECT_EQ(trashed(), trashBefore) << "and left the Trash";
    EXPECT_TRUE(fs::exists(componentFolder / "Verb.component/not-ours"));
}

TEST_F(BundleInstallerTest, PlacementFailuresSayWhatWentWrong) {
    const auto made = echo();
    const auto code = installer().verifyAll({made.staged})[0].second;
    const fs::path target = vst3Folder() / "Echo.vst3";

    auto mismatched = code;
    mismatched.identifier = "com.ostrel.other";
    EXPECT_EQ(refusal([&] { installer().place(made.staged.url, target, mismatched); }),
              "Could not put the files in place: the copy of Echo.vst3 does not match what was verified");
    EXPECT_THAT(refusal([&] { installer().place(dir_ / "missing.vst3", target, code); }),
                ::testing::StartsWith("cp failed: "));

    installer().place(made.staged.url, target, code);
    auto stuck = installer();
    stuck.trash = [](const fs::path&, const fs::path&) -> std::optional<fs::path> {
        throw std::runtime_error("Trash is full");
    };
    EXPECT_EQ(refusal([&] { stuck.place(made.staged.url, target, code); }),
              "Could not put the files in place: could not move the old Echo.vst3 to the Trash");
    // A Trash that claims to have taken the old copy but left it.
    auto liar = installer();
    liar.trash = [](const fs::path& item, const fs::path&) -> std::optional<fs::path> {
        return item.parent_path() / "gone";
    };
    EXPECT_THAT(refusal([&] { liar.place(made.staged.url, target, code); }),
                ::testing::StartsWith("Could not put the files in place: "));
    EXPECT_TRUE(fs::exists(target / "Contents/Resources/data"));
    for (const auto& entry : fs::directory_iterator(vst3Folder()))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << "temporary copy left behind";
}

TEST_F(BundleInstallerTest, ACopyThatChangesBeforeItLandsIsRemovedAndTheOldOneRestored) {
    installer().install({echo("1.2", "old").staged});
    const auto newer = echo("1.3", "new");
    const auto code = installer().verifyAll({newer.staged})[0].second;
    // Something changes the hidden copy after it was checked, just before it is swapped in.
    auto meddled = installer();
    meddled.checkpoint = [this](std::string_view step) {
        if (step != "swap")
            return;
        for (const auto& entry : fs::directory_iterator(vst3Folder()))
            if (entry.path().filename().string().starts_with(".Echo.vst3.ostrel-"))
                writeFile(entry.path() / "Contents/Resources/data", "changed");
    };
    EXPECT_THAT(refusal([&] { meddled.place(newer.staged.url, vst3Folder() / "Echo.vst3", code); }),
                ::testing::StartsWith("Echo.vst3 failed signature validation ("));
    EXPECT_EQ(contentOf(vst3Folder() / "Echo.vst3"), "com.ostrel.echo1.2") << "the previous copy is back";
    EXPECT_EQ(std::distance(fs::directory_iterator(vst3Folder()), fs::directory_iterator()), 1) << "no copy left";
    EXPECT_EQ(trashed(), std::vector<fs::path>{});
}

TEST_F(BundleInstallerTest, TheOldCopyIsSwappedOutAndComesBackFromTheTrashOnALaterFailure) {
    installer().install(
        {echo("1.2", "old").staged, bundle("Verb.clap", "com.ostrel.verb", "1.0", pki().application).staged});
    const auto newEcho = echo("1.3", "new");
    // The second bundle's place now holds another team's copy, so the install fails after Echo landed.
    fs::remove_all(home / "Library/Audio/Plug-Ins/CLAP/Verb.clap");
    fs::rename(bundle("Verb.clap", "com.ostrel.verb", "1.0", pki().otherApplication, "other").staged.url,
               home / "Library/Audio/Plug-Ins/CLAP/Verb.clap");
    const auto newVerb = bundle("Verb.clap", "com.ostrel.verb", "1.1", pki().application, "newverb");
    std::vector<std::string> seen;
    auto watched = installer();
    watched.checkpoint = [&](std::string_view step) {
        // The destination is never empty: at the swap the old copy is still in place.
        if (step == "swap") {
            EXPECT_TRUE(fs::exists(vst3Folder() / "Echo.vst3/Contents/Resources/data"));
        }
        seen.emplace_back(step);
    };
    EXPECT_EQ(refusal([&] {
                  watched.install({newEcho.staged, newVerb.staged});
              }),
              "Something that is not this Ostrel product is already installed as Verb.clap. Nothing was replaced. "
              "Move it aside to install.");
    EXPECT_THAT(seen, ::testing::Contains("trash-previous"));
    EXPECT_EQ(contentOf(vst3Folder() / "Echo.vst3"), "com.ostrel.echo1.2") << "brought back from the Trash";
    EXPECT_EQ(trashed(), std::vector<fs::path>{});
}

TEST_F(BundleInstallerTest, RefusesToReplaceARunningApp) {
    auto app = bundle("Tool.app", "com.ostrel.tool", "1.0", pki().application);
    BundleSigner::staple(app.staged.url, app.code);
    installer().install({app.staged});
    const fs::path installed = home / "Applications/Tool.app";

    // A real program of the installed app, running from inside it.
    fs::copy_file("/usr/bin/sleep", installed / "Contents/MacOS/Helper");
    const pid_t child = ::fork();
    if (child == 0) {
        const std::string program = (installed / "Contents/MacOS/Helper").string();
        ::execl(program.c_str(), "Helper", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 500 && refusal([&] { installer().refuseIfRunning(installed); }) == "(nothing thrown)"; ++i)
        ::usleep(10'000);

    auto update = bundle("Tool.app", "com.ostrel.tool", "1.1", pki().application);
    BundleSigner::staple(update.staged.url, update.code);
    EXPECT_EQ(refusal([&] { installer().install({update.staged}); }), "Quit Tool first, then install again.");
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

TEST_F(BundleInstallerTest, UninstallLeavesChangedItemsInPlace) {
    const auto echoItems = installer().install({echo().staged});
    const auto verbItems =
        installer().install({bundle("Verb.clap", "com.ostrel.verb", "1.0", pki().application).staged});
    // The user replaced Verb with a copy signed by someone else.
    const fs::path verbPath = verbItems[0].path;
    fs::remove_all(verbPath);
    fs::rename(bundle("Verb.clap", "com.ostrel.verb", "1.0", pki().otherApplication, "other").staged.url, verbPath);

    auto items = echoItems;
    items.push_back(verbItems[0]);
    items.push_back({(home / "gone.vst3").string(), BundleKind::vst3, "com.ostrel.gone", "K7QZ2M4XNB", {}});
    EXPECT_EQ(installer().uninstall(items), std::vector<std::string>{"Verb.clap"});
    EXPECT_FALSE(fs::exists(echoItems[0].path));
    EXPECT_TRUE(fs::exists(Trash::homeTrash() / "files/Echo.vst3"));
    EXPECT_TRUE(fs::exists(verbPath));
}

TEST_F(BundleInstallerTest, UninstallTakesOnlyTheSameIdentifierFromTheSameTeam) {
    const auto placed = installer().install({echo().staged})[0];
    // What is on disk verifies, but not as what the ledger remembers: another
    // team's record, or another identifier, is not this bundle.
    auto otherTeam = placed;
    otherTeam.teamID = "Z9Z9Z9Z9Z9";
    auto otherIdentifier = placed;
    otherIdentifier.identifier = "com.ostrel.other";
    EXPECT_EQ(installer().uninstall({otherTeam}), std::vector<std::string>{"Echo.vst3"});
    EXPECT_EQ(installer().uninstall({otherIdentifier}), std::vector<std::string>{"Echo.vst3"});
    EXPECT_TRUE(fs::exists(placed.path));
    EXPECT_EQ(installer().uninstall({placed}), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(placed.path));
}

} // namespace
} // namespace ostrel::test
