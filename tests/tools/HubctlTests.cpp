#include "ApplePki.h"
#include "BundleBuilder.h"
#include "BundleSigner.h"
#include "Install/AppDirectories.h"
#include "Install/InstallLedger.h"
#include "MachOBuilder.h"
#include "ReleasePackage.h"
#include "TempDir.h"
#include "Util/Subprocess.h"

#include <cstdlib>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace ostrel;
using ::testing::HasSubstr;

namespace {

Subprocess::Result hubctl(const std::vector<std::string>& arguments) {
    return Subprocess::run(OSTREL_HUBCTL, arguments, 60);
}

} // namespace

TEST(Hubctl, LedgerListsRecordsMissingItemsAndFloors) {
    test::TempDir dir;
    test::writeFile(dir / "Echo.vst3/Contents/Info.plist", "plist");
    InstallLedger ledger(AppDirectories::owned(dir / "data"));
    ledger.save({"echo",
                 "Echo",
                 "1.2",
                 "key",
                 Iso8601::TimePoint(std::chrono::seconds(1'769'851'800)),
                 {{(dir / "Echo.vst3").string(), BundleKind::vst3, "com.ostrel.echo", "K7QZ2M4XNB", "1.2"},
                  {(dir / "Echo.component").string(), BundleKind::component, "com.ostrel.echo.au", "K7QZ2M4XNB", {}}},
                 {"Skipped the installer scripts in Echo.pkg; the hub installs files only."}});

    const auto result = hubctl({"ledger", "--data", (dir / "data").string()});
    EXPECT_EQ(result.status, 0);
    EXPECT_THAT(result.standardOutput, HasSubstr("Echo (echo) 1.2, installed 2026-01-31T09:30:00Z\n"));
    EXPECT_THAT(result.standardOutput,
                HasSubstr((dir / "Echo.component").string() + "  com.ostrel.echo.au -  (missing)"));
    EXPECT_THAT(result.standardOutput, HasSubstr("Version floors:\n  com.ostrel.echo 1.2\n"));
    EXPECT_EQ(result.standardError, "");
}

TEST(Hubctl, ADamagedLedgerIsReportedAndKeptAndRecoverySaysWhatItDid) {
    test::TempDir dir;
    const std::string data = (dir / "data").string();
    test::writeFile(dir / "data/installed.json", "{\"echo\": {\"productId\": \"ec");
    const auto damaged = hubctl({"ledger", "--data", data});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_EQ(damaged.standardOutput, "");
    EXPECT_THAT(damaged.standardError, HasSubstr("is damaged and cannot be read"));
    EXPECT_EQ(test::readFile(dir / "data/installed.json"), "{\"echo\": {\"productId\": \"ec");

    test::writeFile(dir / "data/.installed.json.Zq81xA", "half a ledger");
    const std::string home = (dir / "home").string();
    const auto recovered = hubctl({"recover", "--data", data, "--home", home});
    EXPECT_EQ(recovered.status, 0);
    EXPECT_THAT(recovered.standardError, HasSubstr("Removed the unfinished file"));
    EXPECT_EQ(recovered.standardOutput, "The ledger, the version floors and the installed files agree.\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "data/.installed.json.Zq81xA"));
    EXPECT_EQ(hubctl({"recover", "--data", data, "--home", home}).standardError, "") << "nothing left to do";
}

TEST(Hubctl, UsageMistakesGoToStandardErrorWithStatusTwo) {
    const auto unknown = hubctl({"ledger", "--bogus"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.standardOutput, "");
    EXPECT_THAT(unknown.standardError, HasSubstr("Unknown option --bogus."));
    const auto noCommand = hubctl({});
    EXPECT_EQ(noCommand.status, 2);
    EXPECT_THAT(noCommand.standardError, HasSubstr("Commands:"));
    const auto help = hubctl({"ledger", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.standardOutput, HasSubstr("usage: ostrel-hubctl ledger"));
}

TEST(Hubctl, VerifyPrintsAcceptedCodeOrTheRefusal) {
    test::TempDir dir;
    const std::string out = (dir / "out").string();
    ASSERT_EQ(Subprocess::run(OSTREL_FIXTURES, {"bundles", "--out", out}, 120).status, 0);
    const std::string anchors = out + "/pki/root.pem";

    const auto app = hubctl({"verify", out + "/Echo.app", "--anchors", anchors});
    EXPECT_EQ(app.status, 0);
    EXPECT_THAT(app.standardOutput, HasSubstr("identifier:  com.ostrel.echo.app\nteam:        K7QZ2M4XNB\n"
                                              "version:     1.4.2\nnotarised:   yes\ncdhash:      "));
    EXPECT_THAT(app.standardOutput, HasSubstr(" (arm64)\n"));
    EXPECT_THAT(hubctl({"verify", out + "/Echo.vst3", "--anchors", anchors}).standardOutput,
                HasSubstr("notarised:   no\n"));

    const auto foreign = hubctl({"verify", out + "/Echo.clap", "--anchors", anchors, "--team", "Q9W8E7R6T5"});
    EXPECT_EQ(foreign.status, 1);
    EXPECT_EQ(foreign.standardOutput,
              "Echo.clap is signed by team K7QZ2M4XNB, which is not Ostrel. Install blocked.\n");
    // Apple's own roots do not trust the test PKI.
    const auto untrusted = hubctl({"verify", out + "/Echo.vst"});
    EXPECT_EQ(untrusted.status, 1);
    EXPECT_THAT(untrusted.standardOutput, HasSubstr("Echo.vst failed signature validation (the signature's certificate "
                                                    "chain does not lead to a trusted root)"));
}

namespace {

// A release package signed by the test PKI's installer identity, holding one
// signed plug-in, and the PKI's root as the only anchor to check it with.
struct SignedRelease {
    std::filesystem::path package;
    std::string anchors;
};

SignedRelease signedRelease(const test::TempDir& dir) {
    const fixtures::ApplePki pki;
    pki.writePem(dir / "pki");
    fixtures::buildThinMachO({"arm64"}, dir / "exe");
    const auto bundle = fixtures::BundleBuilder(dir / "bundles", "Echo.vst3")
                            .identifier("com.ostrel.echo")
                            .version("1.4", "1.4")
                            .executable("Echo", test::readFile(dir / "exe"))
                            .build();
    fixtures::SignOptions options;
    options.identifier = "com.ostrel.echo";
    options.identity = pki.application;
    fixtures::BundleSigner(options).sign(bundle);
    fixtures::ReleasePackage release;
    release.component({.bundle = bundle, .installFolder = "/Library/Audio/Plug-Ins/VST3"}).signedBy(pki.installer);
    release.write(dir / "Echo.pkg", dir / "scratch");
    return {dir / "Echo.pkg", (dir / "pki/root.pem").string()};
}

} // namespace

TEST(Hubctl, ChecksInstallsAndUninstallsASignedPackage) {
    test::TempDir dir;
    const auto release = signedRelease(dir);
    const std::string data = (dir / "data").string();
    const std::string home = (dir / "home").string();

    const auto check = hubctl({"check", release.package.string(), "--anchors", release.anchors, "--data", data});
    EXPECT_EQ(check.status, 0) << check.standardOutput << check.standardError;
    EXPECT_EQ(check.standardOutput,
              "Echo.vst3  VST3  com.ostrel.echo  K7QZ2M4XNB  1.4  not notarised\npassed every check\n");
    const auto size = std::to_string(std::filesystem::file_size(release.package));
    EXPECT_EQ(hubctl({"check", release.package.string(), "--anchors", release.anchors, "--size", "1"}).standardError,
              "The download is " + size + " bytes; the store said 1. Discarded.\n");

    const auto install = hubctl({"install", release.package.string(), "--anchors", release.anchors, "--product", "echo",
                                 "--name", "Echo", "--version", "1.4", "--home", home, "--data", data});
    EXPECT_EQ(install.status, 0) << install.standardOutput << install.standardError;
    const auto placed = dir / "home/Library/Audio/Plug-Ins/VST3/Echo.vst3";
    EXPECT_EQ(install.standardOutput, "Installed " + placed.string() + "\n");
    EXPECT_TRUE(std::filesystem::exists(placed / "Contents/MacOS/Echo"));
    EXPECT_THAT(hubctl({"ledger", "--data", data}).standardOutput, HasSubstr("Echo (echo) 1.4, installed "));

    const auto uninstall = hubctl({"uninstall", "echo", "--anchors", release.anchors, "--data", data});
    EXPECT_EQ(uninstall.standardOutput, "Moved to the Trash.\n");
    EXPECT_FALSE(std::filesystem::exists(placed));
    EXPECT_THAT(hubctl({"ledger", "--data", data}).standardOutput, HasSubstr("Version floors:\n  com.ostrel.echo 1.4"));
}

TEST(Hubctl, RefusesAReleaseOfAnotherTeam) {
    test::TempDir dir;
    const auto release = signedRelease(dir);
    const auto check = hubctl({"check", release.package.string(), "--anchors", release.anchors, "--team", "Q9W8E7R6T5",
                               "--data", (dir / "data").string()});
    EXPECT_EQ(check.status, 1);
    // The package's installer identity is Ostrel's, not the team asked for.
    EXPECT_EQ(check.standardError,
              "The download's own signature was refused: the package is not signed by Ostrel's Developer ID.\n");
    EXPECT_EQ(check.standardOutput, "");
    // A refused check leaves no work folder behind.
    const auto work = std::filesystem::path(std::getenv("HOME")) / ".cache/com.ostrel.hub/work";
    EXPECT_TRUE(std::filesystem::is_empty(work)) << "left in " << work;
}
