// What a launch asks for: the arguments, the "--open" targets applied to a model, the launch
// clock and the beta's texts; and the real app measuring its own launch against the demo services.
#include "EventLoop.h"
#include "Model/AppModel.h"
#include "Model/Beta.h"
#include "Model/LaunchArguments.h"
#include "Model/LaunchClock.h"
#include "Model/LaunchOpen.h"
#include "ModelFolders.h"
#include "RunningDemo.h"
#include "TempDir.h"
#include "Util/Subprocess.h"

#include <QRegularExpression>
#include <QUrlQuery>

#include <gmock/gmock.h>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

LaunchArguments parse(std::initializer_list<const char*> words) {
    QStringList arguments;
    for (const auto* word : words)
        arguments << QString::fromUtf8(word);
    return LaunchArguments::parse(arguments);
}

TEST(LaunchArguments, ReadsFlagsValuesAndIgnoresWhatItDoesNotKnow) {
    const auto parsed =
        parse({"-platform", "offscreen", "--cold", "--whatever", "--measure-launch", "--open", "section:library",
               "--config", "/c.json", "--team", "TEAM", "--anchors", "/a.pem", "--home", "/h", "--data", "/d"});
    EXPECT_TRUE(parsed.cold);
    EXPECT_TRUE(parsed.measureLaunch);
    EXPECT_FALSE(parsed.backgroundUpdate);
    EXPECT_FALSE(parsed.snapshot);
    EXPECT_EQ(parsed.openTarget, QStringLiteral("section:library"));
    EXPECT_EQ(parsed.config, fs::path("/c.json"));
    EXPECT_EQ(parsed.team, QStringLiteral("TEAM"));
    EXPECT_EQ(parsed.anchors, fs::path("/a.pem"));
    EXPECT_EQ(parsed.home, fs::path("/h"));
    EXPECT_EQ(parsed.data, fs::path("/d"));
    EXPECT_TRUE(parsed.ephemeralSessions());

    const auto plain = parse({"--cold"});
    EXPECT_FALSE(plain.ephemeralSessions());
    EXPECT_FALSE(plain.measureLaunch);
    EXPECT_TRUE(parse({"--background-update"}).backgroundUpdate);
}

TEST(LaunchArguments, OpenSnapshotAndFixturesNeedTheirValues) {
    // "--open" as the last argument opens nothing; the first "--open" counts.
    EXPECT_FALSE(parse({"--cold", "--open"}).openTarget.has_value());
    EXPECT_EQ(parse({"--open", "product:a", "--open", "product:b"}).openTarget, QStringLiteral("product:a"));

    // "--snapshot" alone keeps sessions in memory but writes no images.
    const auto bare = parse({"--snapshot"});
    EXPECT_TRUE(bare.snapshot);
    EXPECT_TRUE(bare.ephemeralSessions());
    EXPECT_FALSE(bare.snapshotFolder.has_value());
    EXPECT_EQ(parse({"--snapshot", "/out"}).snapshotFolder, fs::path("/out"));

    // Fixtures only ever serve a snapshot run.
    EXPECT_FALSE(parse({"--fixtures", "/f"}).fixtures.has_value());
    EXPECT_EQ(parse({"--fixtures", "/f", "--snapshot", "/out"}).fixtures, fs::path("/f"));
    EXPECT_FALSE(parse({"--snapshot", "/out", "--fixtures"}).fixtures.has_value());
}

TEST(LaunchArguments, BuildTheModelEnvironment) {
    test::TempDir dir;
    auto environment = parse({"--fixtures", (dir / "f").c_str(), "--cold"}).environment();
    EXPECT_FALSE(environment.fixtures.has_value());
    EXPECT_TRUE(environment.cold);
    EXPECT_FALSE(environment.ephemeralSessions);

    const auto data = dir / "hub";
    environment =
        parse({"--snapshot", "/out", "--fixtures", "/f", "--data", data.c_str(), "--team", "K7"}).environment();
    EXPECT_EQ(environment.fixtures, fs::path("/f"));
    EXPECT_TRUE(environment.ephemeralSessions);
    EXPECT_FALSE(environment.cold);
    EXPECT_EQ(environment.supportFolder, data);
    EXPECT_EQ(environment.settingsFile.toStdString(), (data / "settings.conf").string());
    ASSERT_TRUE(environment.workFolder && environment.snapshotFolder);
    EXPECT_EQ(environment.workFolder->parent_path().parent_path(), data);
    EXPECT_EQ(environment.snapshotFolder->parent_path().parent_path(), data);
    EXPECT_NE(environment.workFolder, environment.snapshotFolder);
    EXPECT_EQ(environment.signaturePolicy.teamID, "K7");
}

TEST(LaunchArguments, UnusableFilesAreRefusedWithASentence) {
    test::TempDir dir;
    test::writeFile(dir / "config.json", "{ not json");
    test::writeFile(dir / "anchors.pem", "no certificate here");
    try {
        parse({"--config", (dir / "config.json").c_str()}).environment();
        FAIL() << "an unusable configuration was taken";
    } catch (const LaunchArgumentError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "The service configuration " + (dir / "config.json").string() + " cannot be used.");
    }
    EXPECT_THROW(parse({"--anchors", (dir / "anchors.pem").c_str()}).environment(), LaunchArgumentError);
    EXPECT_THROW(parse({"--anchors", (dir / "missing.pem").c_str()}).environment(), LaunchArgumentError);
}

// A model on no services: nothing is loaded, so only the targets act.
struct OpenTarget : ::testing::Test {
    test::TempDir dir;
    std::unique_ptr<AppModel> model = [this] {
        auto environment = test::modelEnvironmentIn(dir);
        environment.cold = true;
        return std::make_unique<AppModel>(std::move(environment));
    }();
    Navigation& navigation() { return *model->navigation(); }
};

TEST_F(OpenTarget, SelectsASectionByItsIdentifierOrNone) {
    applyOpenTarget(QStringLiteral("section:library"), *model);
    EXPECT_EQ(navigation().selection(), HubSection::library);
    applyOpenTarget(QStringLiteral("section:freeTools"), *model);
    EXPECT_EQ(navigation().selection(), HubSection::freeTools);
    // A name that is no section's clears the selection.
    applyOpenTarget(QStringLiteral("section:Library"), *model);
    EXPECT_EQ(navigation().selection(), std::nullopt);
    // Without a value nothing changes.
    applyOpenTarget(QStringLiteral("section:updates"), *model);
    applyOpenTarget(QStringLiteral("section:"), *model);
    applyOpenTarget(QStringLiteral("section"), *model);
    EXPECT_EQ(navigation().selection(), HubSection::updates);
}

TEST_F(OpenTarget, SearchAndProductTakeTheRestOfTheTarget) {
    applyOpenTarget(QStringLiteral("search:"), *model);
    EXPECT_EQ(navigation().search(), QString());
    applyOpenTarget(QStringLiteral("search:time: stretch"), *model);
    EXPECT_EQ(navigation().search(), QStringLiteral("time: stretch"));
    navigation().setSearch({});

    applyOpenTarget(QStringLiteral("product:aurora-verb"), *model);
    EXPECT_EQ(navigation().path(), QStringList{QStringLiteral("aurora-verb")});
    // An empty first piece is dropped: what is left names no target with a value.
    applyOpenTarget(QStringLiteral(":product"), *model);
    applyOpenTarget(QStringLiteral("nonsense:aurora-verb"), *model);
    applyOpenTarget(QStringLiteral("checkout:aurora-verb"), *model);
    EXPECT_EQ(navigation().path(), QStringList{QStringLiteral("aurora-verb")});
    EXPECT_EQ(navigation().selection(), HubSection::discover);
    EXPECT_FALSE(model->showSignIn());
}

TEST_F(OpenTarget, SignInOpensTheSheetWithOrWithoutAValue) {
    applyOpenTarget(QStringLiteral("signin"), *model);
    EXPECT_TRUE(model->showSignIn());
    model->setShowSignIn(false);
    applyOpenTarget(QStringLiteral("signin:store"), *model);
    EXPECT_TRUE(model->showSignIn());
    EXPECT_EQ(model->signInPurpose(), AppModel::SignInPurpose::general);
}

TEST(LaunchClock, ReadsTheStartFromTheKernelsStatLine) {
    // Field 22 counts clock ticks since boot; a command name may hold spaces and parentheses.
    const std::string tail = " S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 12345 99 100";
    EXPECT_EQ(LaunchClock::startFromStat("42 (ostrel-hub)" + tail, 100), LaunchClock::Milliseconds(123450));
    EXPECT_EQ(LaunchClock::startFromStat("42 (a) (b c))" + tail, 100), LaunchClock::Milliseconds(123450));
    EXPECT_EQ(LaunchClock::startFromStat("42 (hub)" + tail, 250), LaunchClock::Milliseconds(49380));
    // Too few fields, a field that is not a number, no command name, no tick rate: none.
    EXPECT_EQ(LaunchClock::startFromStat("42 (hub) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18", 100), std::nullopt);
    EXPECT_EQ(LaunchClock::startFromStat("42 (hub) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 12x45", 100),
              std::nullopt);
    EXPECT_EQ(LaunchClock::startFromStat("42 hub S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 12345", 100),
              std::nullopt);
    EXPECT_EQ(LaunchClock::startFromStat("42 (hub)" + tail, 0), std::nullopt);
    EXPECT_EQ(LaunchClock::startFromStat("42 (hub) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 "
                                         "99999999999999999999",
                                         100),
              std::nullopt);
}

TEST(LaunchClock, ThisProcessStartedBeforeTheClockWasAsked) {
    const auto before = LaunchClock::bootClockNow();
    ASSERT_TRUE(test::runUntil([&] { return LaunchClock::bootClockNow() > before + 20ms; }));
    // Falling back to "now" would give a time after `before`.
    EXPECT_LE(LaunchClock::processStart(), before);
    EXPECT_GT(LaunchClock::processStart().count(), 0);
}

struct ClockWatch {
    std::vector<std::string> printed;
    int quits = 0;
    LaunchClock::Milliseconds now{1000};
    LaunchClock::Options options(bool measure) {
        return {.processStart = LaunchClock::Milliseconds(188),
                .measure = measure,
                .now = [this] { return now; },
                .print = [this](const std::string& line) { printed.push_back(line); },
                .quit = [this] { ++quits; }};
    }
};

TEST(LaunchClock, ReportsTheFirstContentOnceAndQuitsWhenMeasuring) {
    ClockWatch watch;
    LaunchClock clock(watch.options(true));
    std::vector<std::pair<qint64, QString>> shown;
    QObject::connect(&clock, &LaunchClock::firstContentShown,
                     [&](qint64 ms, const QString& source) { shown.emplace_back(ms, source); });
    EXPECT_FALSE(clock.reported());
    clock.firstContent(QStringLiteral("cache"));
    watch.now = LaunchClock::Milliseconds(5000);
    clock.firstContent(QStringLiteral("network"));
    EXPECT_TRUE(clock.reported());
    EXPECT_THAT(watch.printed, ::testing::ElementsAre("launch-to-first-content-ms 812 cache"));
    EXPECT_EQ(watch.quits, 1);
    EXPECT_THAT(shown, ::testing::ElementsAre(std::pair<qint64, QString>(812, QStringLiteral("cache"))));

    // Without --measure-launch the moment is noted, nothing is printed and the app goes on.
    ClockWatch quiet;
    LaunchClock unmeasured(quiet.options(false));
    unmeasured.firstContent(QStringLiteral("network"));
    EXPECT_TRUE(unmeasured.reported());
    EXPECT_TRUE(quiet.printed.empty());
    EXPECT_EQ(quiet.quits, 0);
}

TEST(Beta, VersionLineFeedbackMailAndCredits) {
    EXPECT_EQ(Beta::versionText(QStringLiteral("0.1.0"), QStringLiteral("230")), QStringLiteral("0.1.0 beta (230)"));
    EXPECT_EQ(Beta::versionText({}, QStringLiteral("7")), QStringLiteral("? beta (7)"));
    EXPECT_EQ(Beta::versionText(QStringLiteral("1.2"), {}), QStringLiteral("1.2 beta (?)"));

    const Beta beta(QStringLiteral("0.1.0"), QStringLiteral("230"));
    const auto mail = beta.feedbackUrl();
    EXPECT_EQ(mail.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(mail.path(), beta.feedbackAddress());
    const QUrlQuery query(mail);
    for (const auto* field : {"subject", "body"})
        EXPECT_TRUE(query.queryItemValue(QString::fromLatin1(field), QUrl::FullyDecoded)
                        .startsWith(QStringLiteral("Ostrel Hub 0.1.0 beta (230)")))
            << field;
    EXPECT_EQ(beta.credits(), QStringLiteral("This is a public beta. Installs are checked as strictly as they will be "
                                             "at release, but screens and features may still change. Tell us what "
                                             "breaks: ") +
                                  beta.feedbackAddress());
}

#ifdef OSTREL_HUB_BINARY
// The real app, off-screen, against the demo services: one line, then it quits by itself.
TEST(LaunchMeasurement, TheAppPrintsOneLineFromTheNetworkThenFromItsSnapshot) {
    demo::RunningDemo demo;
    test::TempDir hub;
    const auto measure = [&](bool cold) {
        std::vector<std::string> arguments{"-platform",
                                           "offscreen",
                                           "--measure-launch",
                                           "--config",
                                           demo.services.configFile().string(),
                                           "--anchors",
                                           demo.services.codeSigningRoot().string(),
                                           "--team",
                                           "K7QZ2M4XNB",
                                           "--home",
                                           (hub / "home").string(),
                                           "--data",
                                           (hub / "data").string()};
        if (cold)
            arguments.emplace_back("--cold");
        return Subprocess::run(OSTREL_HUB_BINARY, arguments, 120);
    };
    const QRegularExpression oneLine(QStringLiteral("\\Alaunch-to-first-content-ms \\d+ (cache|network)\\n\\z"));

    auto first = measure(true);
    ASSERT_EQ(first.status, 0) << first.standardError;
    auto line = QString::fromStdString(first.standardOutput);
    EXPECT_TRUE(oneLine.match(line).hasMatch()) << first.standardOutput;
    EXPECT_TRUE(line.endsWith(QStringLiteral(" network\n"))) << first.standardOutput;

    // The first run saved the catalogue; the next start shows it before the network answers.
    auto second = measure(false);
    ASSERT_EQ(second.status, 0) << second.standardError;
    line = QString::fromStdString(second.standardOutput);
    EXPECT_TRUE(oneLine.match(line).hasMatch()) << second.standardOutput;
    EXPECT_TRUE(line.endsWith(QStringLiteral(" cache\n"))) << second.standardOutput;
}
#endif

} // namespace
} // namespace ostrel::hub
