// Kills real installs and uninstalls before each change they make on disk,
// then recovers and checks that the disk, the ledger and the floors agree.
#include "DiskImageSigner.h"
#include "Install/InstallPipeline.h"
#include "Install/InstallRecovery.h"
#include "Platform/Trash.h"
#include "ReleasePackage.h"
#include "SignedBundleFixture.h"
#include "UdifImage.h"
#include "Util/Subprocess.h"

#include <map>
#include <set>

#include <gmock/gmock.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ostrel::test {
namespace {

namespace fs = std::filesystem;
using Copies = std::multiset<std::string>; // "<identifier> <version>" of each copy found

// One run's folders. The Trash is the test program's own and is emptied between runs.
struct Place {
    fs::path home;
    fs::path data;
    fs::path work;
};

class CrashRecoveryTest : public SignedBundleFixture {
protected:
    int runs_ = 0;

    void SetUp() override { fs::remove_all(Trash::homeTrash()); }

    InstallPipeline pipeline(const Place& place) const {
        const CodeVerifier verifier(policy(), trust());
        return InstallPipeline(
            Extractor{.verifier = verifier},
            BundleInstaller{.verifier = verifier, .home = place.home, .applications = place.home / "Applications"},
            std::make_shared<InstallLedger>(place.data), place.work);
    }

    // Bundles of the product "echo" at one version, signed; the app is stapled.
    std::vector<fs::path> release(const std::string& version, const std::vector<std::string>& names) {
        std::vector<fs::path> bundles;
        for (const auto& name : names) {
            const auto identifier =
                "com.ostrel." + fs::path(name).stem().string() + "." + fs::path(name).extension().string().substr(1);
            auto made = bundle(name, identifier, version, pki().application, "v" + version + "-" + name);
            if (made.staged.kind == BundleKind::app)
                fixtures::BundleSigner::staple(made.staged.url, made.code);
            bundles.push_back(made.staged.url);
        }
        return bundles;
    }

    fs::path package(const std::string& version, const std::vector<std::string>& names) {
        fixtures::ReleasePackage made;
        for (const auto& bundle : release(version, names))
            made.component({.bundle = bundle, .installFolder = "/Library/Audio/Plug-Ins/" + folderOf(bundle)});
        made.signedBy(pki().installer);
        const fs::path file = dir_ / ("Echo-" + version + ".pkg");
        made.write(file, dir_ / ("scratch-" + version));
        return file;
    }

    fs::path zip(const std::string& version, const std::vector<std::string>& names) {
        const fs::path folder = dir_ / ("zip-" + version);
        fs::create_directories(folder);
        std::vector<std::string> arguments{"-c", "--format",     "zip", "-f", (dir_ / "Echo.zip").string(),
                                           "-C", folder.string()};
        for (const auto& bundle : release(version, names)) {
            fs::rename(bundle, folder / bundle.filename());
            arguments.push_back(bundle.filename().string());
        }
        Subprocess::check("/usr/bin/bsdtar", arguments, 60);
        return dir_ / "Echo.zip";
    }

    fs::path diskImage(const std::string& version, const std::vector<std::string>& names) {
        const fs::path volume = dir_ / ("volume-" + version);
        fs::create_directories(volume);
        for (const auto& bundle : release(version, names))
            fs::rename(bundle, volume / bundle.filename());
        fixtures::SignOptions options;
        options.identifier = "com.ostrel.image";
        options.identity = pki().application;
        const fs::path file = dir_ / "Echo.dmg";
        fixtures::writeSignedImage(fixtures::UdifImage::fromFolder(volume), options, file);
        return file;
    }

    static std::string folderOf(const fs::path& bundle) {
        const auto kind = *bundleKindOf(bundle);
        return kind == BundleKind::component ? "Components" : std::string(label(kind));
    }

    static InstallRequest request(const fs::path& file, const std::string& version) {
        return {.productId = "echo",
                .productName = "Echo",
                .version = version,
                .download = {.name = file.filename().string(),
                             .key = "echo-" + version,
                             .platform = Platform::mac,
                             .size = static_cast<int64_t>(fs::file_size(file))}};
    }

    // Fresh folders, with the release of `installed` in place when there is one. The ledger
    // holds absolute paths, so each run installs it anew rather than copying another run's.
    Place freshPlace(const std::optional<fs::path>& installed) {
        const fs::path root = dir_ / ("run-" + std::to_string(runs_++));
        Place place{root / "home", root / "data", root / "work"};
        fs::create_directories(place.data);
        fs::remove_all(Trash::homeTrash());
        if (installed)
            pipeline(place).installFile(request(*installed, "1.0"), *installed, {});
        return place;
    }

    // Runs `action` in a child process that is killed just before its k-th change on disk.
    // True when it was killed; false when it got through all of them.
    bool killedAt(int k, const Place& place, const std::function<void(InstallPipeline&)>& action) {
        const pid_t child = ::fork();
        if (child == 0) {
            auto engine = pipeline(place);
            int reached = 0;
            engine.setCheckpoint([&](std::string_view) {
                if (++reached == k)
                    ::kill(::getpid(), SIGKILL);
            });
            try {
                action(engine);
            } catch (...) {
                ::_exit(3);
            }
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << "the action failed at " << k;
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

    // Every copy of a bundle, by identity and version, in the destination folders and in the Trash.
    static std::pair<Copies, Copies> copies(const Place& place) {
        Copies placed;
        Copies trashed;
        const auto note = [](Copies& into, const fs::path& bundle) {
            into.insert(readFile(bundle / "Contents/Resources/data"));
        };
        std::error_code missing;
        for (const auto& entry : fs::recursive_directory_iterator(place.home, missing)) {
            if (bundleKindOf(entry.path()) && entry.is_directory()) {
                note(placed, entry.path());
            }
        }
        for (const auto& entry : fs::directory_iterator(Trash::homeTrash() / "files", missing))
            note(trashed, entry.path());
        return {placed, trashed};
    }

    // What must hold after any crash and a recovery: the ledger, the floors and the disk tell
    // one story, either the whole old state or the whole new one, and nothing is left over.
    void expectSettled(const Place& place, int k, const Copies& oldPlaced, const Copies& newPlaced,
                       const Copies& newTrashed) {
        SCOPED_TRACE("killed before change " + std::to_string(k));
        const InstallLedger ledger(place.data);
        const auto [placed, trashed] = copies(place);
        const auto record = ledger.record("echo");
        Copies recorded;
        if (record) {
            for (const auto& item : record->items) {
                recorded.insert(item.identifier + *item.version);
                EXPECT_EQ(ledger.floor(item.identifier), item.version) << "floor and record disagree";
            }
        }
        if (placed == newPlaced) {
            EXPECT_EQ(trashed, newTrashed);
        } else {
            EXPECT_EQ(placed, oldPlaced) << "a mix of two releases";
            EXPECT_EQ(trashed, Copies{});
        }
        EXPECT_EQ(recorded, placed) << "the ledger does not describe the disk";
        expectNoDebris(place);
    }

    static void expectNoDebris(const Place& place) {
        std::error_code missing;
        for (const auto& entry : fs::recursive_directory_iterator(place.home, missing))
            EXPECT_FALSE(entry.path().filename().string().starts_with(".ostrel") ||
                         entry.path().filename().string().find(".ostrel-") != std::string::npos)
                << entry.path();
        EXPECT_TRUE(!fs::exists(place.work) || fs::is_empty(place.work)) << "a work folder is left";
        for (const auto& entry : fs::directory_iterator(place.data)) {
            const auto name = entry.path().filename().string();
            EXPECT_THAT(name, ::testing::AnyOf("installed.json", "version-floors.json", "journal", "install.lock"));
        }
        EXPECT_TRUE(!fs::exists(place.data / "journal") || fs::is_empty(place.data / "journal"));
        for (const auto& entry : fs::directory_iterator(Trash::homeTrash() / "info", missing)) {
            const auto name = entry.path().stem().string();
            EXPECT_TRUE(fs::exists(Trash::homeTrash() / "files" / name)) << "orphaned " << entry.path();
        }
    }

    // Kills the action at every change in turn, recovers, and checks; returns how many points it covered.
    int crashEverywhere(const std::optional<fs::path>& installed, const std::function<void(InstallPipeline&)>& action,
                        const Copies& oldPlaced, const Copies& newPlaced, const Copies& newTrashed) {
        for (int k = 1;; ++k) {
            const Place place = freshPlace(installed);
            const bool killed = killedAt(k, place, action);
            auto engine = pipeline(place);
            engine.recover();
            expectSettled(place, k, oldPlaced, newPlaced, newTrashed);
            if (!killed) {
                EXPECT_EQ(copies(place).first, newPlaced) << "the uninterrupted run did not finish";
                return k - 1;
            }
            if (::testing::Test::HasFailure())
                return k;
        }
    }
};

TEST_F(CrashRecoveryTest, AnUpdateOfSeveralBundlesKilledAnywhereEndsWhollyOldOrWhollyNew) {
    const auto v1 = package("1.0", {"Echo.vst3", "Echo.component", "Echo.clap"});
    const auto v2 = package("2.0", {"Echo.vst3", "Echo.component"});
    const Copies old{"com.ostrel.Echo.vst31.0", "com.ostrel.Echo.component1.0", "com.ostrel.Echo.clap1.0"};
    const Copies updated{"com.ostrel.Echo.vst32.0", "com.ostrel.Echo.component2.0"};
    const int points = crashEverywhere(
        v1, [&](InstallPipeline& engine) { engine.installFile(request(v2, "2.0"), v2, {}); }, old, updated, old);
    EXPECT_GE(points, 15) << "every bundle's copy, swap and Trash step is a kill point";
    RecordProperty("KillPoints", points);
}

TEST_F(CrashRecoveryTest, AnUninstallKilledAnywhereEndsInstalledOrWhollyInTheTrash) {
    const auto v1 = package("1.0", {"Echo.vst3", "Echo.clap"});
    const Copies old{"com.ostrel.Echo.vst31.0", "com.ostrel.Echo.clap1.0"};
    const int points = crashEverywhere(
        v1, [](InstallPipeline& engine) { engine.uninstall("echo"); }, old, {}, old);
    EXPECT_GE(points, 4);
}

TEST_F(CrashRecoveryTest, FirstInstallsOfAZipAndADiskImageKilledAnywhereLeaveAllOrNothing) {
    const auto archive = zip("1.0", {"Echo.vst3", "Echo.clap"});
    crashEverywhere(std::nullopt,
                    [&](InstallPipeline& engine) { engine.installFile(request(archive, "1.0"), archive, {}); }, {},
                    {"com.ostrel.Echo.vst31.0", "com.ostrel.Echo.clap1.0"}, {});
    const auto image = diskImage("1.0", {"Echo.app"});
    crashEverywhere(std::nullopt,
                    [&](InstallPipeline& engine) { engine.installFile(request(image, "1.0"), image, {}); }, {},
                    {"com.ostrel.Echo.app1.0"}, {});
}

} // namespace
} // namespace ostrel::test
