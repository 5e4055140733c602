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
