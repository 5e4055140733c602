#include "Install/AppDirectories.h"
#include "Install/InstallLedger.h"
#include "TempDir.h"
#include "Util/Subprocess.h"

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
