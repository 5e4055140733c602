#include "Install/InstallLedger.h"
#include "TempDir.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

using namespace ostrel;
namespace fs = std::filesystem;

namespace {

InstalledItem item(const std::string& identifier, std::optional<std::string> version, const std::string& path = "") {
    return {path.empty() ? "/nowhere/" + identifier + ".vst3" : path, BundleKind::vst3, identifier, "K7QZ2M4XNB",
            std::move(version)};
}

InstallRecord record(const std::string& id, const std::string& name, std::vector<InstalledItem> items = {}) {
    return {id, name, "1.0", "key-" + id, Iso8601::TimePoint(std::chrono::seconds(1'769'851'800)), items, {"note"}};
}

// Lowers the largest file this process may write, for the life of the object.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    sighandler_t previousHandler_;
};

fs::perms permissionsOf(const fs::path& path) {
    return fs::status(path).permissions() & fs::perms::mask;
}

} // namespace

TEST(InstallLedger, StartsEmptyInAFolderWithoutFiles) {
    test::TempDir dir;
    InstallLedger ledger(dir.path());
    EXPECT_TRUE(ledger.all().empty());
    EXPECT_EQ(ledger.record("p"), std::nullopt);
    EXPECT_EQ(ledger.floor("com.ostrel.echo"), std::nullopt);
    EXPECT_FALSE(fs::exists(ledger.file())) << "reading creates nothing";
}

TEST(InstallLedger, SavesRecordsAsSortedPrettyJsonWithPrivatePermissions) {
    test::TempDir dir;
    InstallLedger ledger(dir.path());
    const auto saved = record("echo", "Echo", {item("com.ostrel.echo", "1.2"), item("com.ostrel.echo-au", {})});
    ledger.save(saved);
    EXPECT_EQ(ledger.record("echo"), saved);
    EXPECT_EQ(permissionsOf(ledger.file()), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(permissionsOf(ledger.floorsFile()), fs::perms::owner_read | fs::perms::owner_write);

    const std::string text = test::readFile(ledger.file());
    EXPECT_NE(text.find("\"installedAt\": \"2026-01-31T09:30:00Z\""), std::string::npos) << text;
    EXPECT_LT(text.find("\"downloadKey\""), text.find("\"productId\"")) << "keys are sorted";
    EXPECT_NE(text.find('\n'), std::string::npos) << "pretty-printed";
    EXPECT_EQ(nlohmann::json::parse(test::readFile(ledger.floorsFile())), nlohmann::json({{"com.ostrel.echo", "1.2"}}))
        << "only items with a version get a floor";
    EXPECT_EQ(test::readFile(ledger.floorsFile()).find('\n'), std::string::npos) << "floors are compact";
    EXPECT_EQ(InstallLedger(dir.path()).record("echo"), saved) << "a new ledger reads what was saved";
}

TEST(InstallLedger, FloorsOnlyRiseAndSurviveRemoval) {
    test::TempDir dir;
    InstallLedger ledger(dir.path());
    ledger.save(record("echo", "Echo", {item("com.ostrel.echo", "1.2")}));
    ledger.save(record("echo", "Echo", {item("com.ostrel.echo", "1.1")}));
    EXPECT_EQ(ledger.floor("com.ostrel.echo"), "1.2");
    ledger.save(record("echo", "Echo", {item("com.ostrel.echo", "1.2.0")}));
    EXPECT_EQ(ledger.floor("com.ostrel.echo"), "1.2") << "an equal version keeps the older text";
    ledger.save(record("echo", "Echo", {item("com.ostrel.echo", "1.10")}));
    EXPECT_EQ(ledger.floor("com.ostrel.echo"), "1.10");

    ledger.remove("echo");
    EXPECT_EQ(ledger.record("echo"), std::nullopt);
    EXPECT_EQ(ledger.floor("com.ostrel.echo"), "1.10");
    ledger.remove("never-installed");
    EXPECT_TRUE(ledger.all().empty());
}

TEST(InstallLedger, TwoLedgersOverOneFolderKeepEachOthersRecords) {
    test::TempDir dir;
    InstallLedger app(dir.path());
    InstallLedger updater(dir.path());
    app.save(record("echo", "Echo"));
    updater.save(record("verb", "Verb"));
    EXPECT_EQ(app.record("verb"), std::nullopt) << "not seen before a reload";
    app.reload();
    EXPECT_TRUE(app.record("verb").has_value());
    EXPECT_TRUE(updater.record("echo").has_value()) << "the updater re-read before writing";
}

TEST(InstallLedger, MalformedFilesCountAsEmpty) {
    test::TempDir dir;
    nlohmann::json missingNotes = record("echo", "Echo");
    missingNotes.erase("notes");
    test::writeFile(dir / "installed.json", nlohmann::json{{"echo", missingNotes}}.dump());
    test::writeFile(dir / "version-floors.json", "{not json");
    InstallLedger ledger(dir.path());
    EXPECT_TRUE(ledger.all().empty());
    EXPECT_EQ(ledger.floor("com.ostrel.echo"), std::nullopt);

    EXPECT_TRUE(ledger.damaged());

    const std::string damagedRecords = test::readFile(dir / "installed.json");
    ledger.save(record("verb", "Verb", {item("com.ostrel.verb", "2.0")}));
    EXPECT_EQ(InstallLedger(dir.path()).all().size(), 1u) << "the next save writes only what it produced";
    EXPECT_EQ(ledger.floor("com.ostrel.verb"), "2.0");
    // Nothing is lost for good: each damaged file was kept beside the new one first.
    EXPECT_EQ(test::readFile(dir / "installed.json.damaged"), damagedRecords);
    EXPECT_EQ(test::readFile(dir / "version-floors.json.damaged"), "{not json");
    EXPECT_FALSE(ledger.damaged());
}

TEST(InstallLedger, ACopyOfADamagedFileNeverReplacesAnEarlierCopy) {
    test::TempDir dir;
    InstallLedger ledger(dir.path());
    for (const char* damage : {"{\"echo\":", "[1,"}) {
        test::writeFile(dir / "installed.json", damage);
        ledger.remove("nothing");
    }
    EXPECT_EQ(test::readFile(dir / "installed.json.damaged"), "{\"echo\":");
    EXPECT_EQ(test::readFile(dir / "installed.json.damaged-2"), "[1,");
    EXPECT_EQ(test::readFile(dir / "installed.json"), "{}\n");
    // A missing file is not damage.
    fs::remove(dir / "installed.json");
    EXPECT_FALSE(InstallLedger(dir.path()).damaged());
}

TEST(InstallLedger, AllIsSortedByNameInCodePointOrder) {
    test::TempDir dir;
    InstallLedger ledger(dir.path());
    ledger.save(record("a", "alpha"));
    ledger.save(record("z", "Zeta"));
    ledger.save(record("e", "\u00c9cho"));
    std::vector<std::string> names;
    for (const auto& r : ledger.all())
        names.push_back(r.productName);
    EXPECT_EQ(names, (std::vector<std::string>{"Zeta", "alpha", "\u00c9cho"}));
}

TEST(InstallLedger, WriteErrorsAreThrownAndLeaveTheOldFile) {
    test::TempDir dir;
    InstallLedger ledger(dir.path());
    ledger.save(record("echo", "Echo"));
    const std::string before = test::readFile(ledger.file());
    {
        // A full disk, as root can have it too: no file may grow past a few bytes.
        FileSizeLimit full(16);
        EXPECT_THROW(ledger.save(record("verb", "Verb")), fs::filesystem_error);
    }
    EXPECT_EQ(test::readFile(ledger.file()), before);
    EXPECT_EQ(InstallLedger(dir.path()).all().size(), 1u);
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << "temporary file left: " << entry.path();
}

TEST(InstallRecord, PresentItemsAreThoseStillOnDisk) {
    test::TempDir dir;
    test::writeFile(dir / "Echo.vst3/Contents/Info.plist", "x");
    const auto r = record("echo", "Echo",
                          {item("a", "1", (dir / "Echo.vst3").string()), item("b", "1", (dir / "Gone.vst3").string())});
    ASSERT_EQ(r.presentItems().size(), 1u);
    EXPECT_EQ(r.presentItems()[0].identifier, "a");
}

TEST(Iso8601, FormatsWholeSecondsInUtcAndParsesZones) {
    const Iso8601::TimePoint time(std::chrono::seconds(1'769'851'800));
    EXPECT_EQ(Iso8601::format(time), "2026-01-31T09:30:00Z");
    EXPECT_EQ(Iso8601::parse("2026-01-31T09:30:00Z"), time);
    EXPECT_EQ(Iso8601::parse("2026-01-31T10:30:00+01:00"), time);
    EXPECT_EQ(Iso8601::parse("2026-01-31T09:30:00.5Z"), std::nullopt);
    EXPECT_EQ(Iso8601::parse("2026-02-30T09:30:00Z"), std::nullopt);
    EXPECT_EQ(Iso8601::parse("2026-01-31 09:30:00Z"), std::nullopt);
    EXPECT_EQ(Iso8601::parse("2026-01-31T09:30:00"), std::nullopt);
}
