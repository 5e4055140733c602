// One hub per desktop session: the bus name, requests handed over it up to their limit, and
// the real app started a second time handing its link or target to the first and ending.
#include "EventLoop.h"
#include "Model/AppModel.h"
#include "Model/LaunchOpen.h"
#include "Model/SingleInstance.h"
#include "ModelFolders.h"
#include "OwnBusConnection.h"
#include "PrivateSessionBus.h"
#include "TempDir.h"

#include <QDBusConnectionInterface>
#include <QProcess>
#include <QProcessEnvironment>
#include <future>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

QString ownerOfTheName() {
    return QDBusConnection::sessionBus().interface()->serviceOwner(SingleInstance::serviceName).value();
}

// The first hub of the session, in this process, with what later launches asked of it.
struct RunningHub : ::testing::Test {
    std::unique_ptr<SingleInstance> first = std::make_unique<SingleInstance>();
    QStringList opened;
    int activations = 0;

    void SetUp() override {
        OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
        ASSERT_EQ(first->claim(), SingleInstance::Claim::owned);
        QObject::connect(first.get(), &SingleInstance::openRequested, [this](const QString& r) { opened << r; });
        QObject::connect(first.get(), &SingleInstance::activationRequested, [this] { ++activations; });
    }

    // A later launch in this process: it blocks on its call, so it waits on a thread of its
    // own while this one answers.
    bool handOver(const QString& request) {
        test::OwnBusConnection later;
        auto call = std::async(std::launch::async, [&] { return SingleInstance::handOver(later.bus(), request); });
        EXPECT_TRUE(test::runUntil([&] { return call.wait_for(0s) == std::future_status::ready; }));
        return call.get();
    }
};

TEST_F(RunningHub, OwnsTheNameUntilItGoesAndALaterClaimFindsItTaken) {
    EXPECT_EQ(ownerOfTheName(), QDBusConnection::sessionBus().baseService());

    test::OwnBusConnection other;
    SingleInstance second(other.bus());
    EXPECT_EQ(second.claim(), SingleInstance::Claim::taken);

    // The name goes with its owner, and the next hub may have it.
    first.reset();
    EXPECT_TRUE(ownerOfTheName().isEmpty());
    EXPECT_EQ(second.claim(), SingleInstance::Claim::owned);
    EXPECT_EQ(other.bus().interface()->serviceOwner(SingleInstance::serviceName).value(), other.bus().baseService());

    // Without a session bus a hub runs alone.
    SingleInstance alone(QDBusConnection(QStringLiteral("no-such-connection")));
    EXPECT_EQ(alone.claim(), SingleInstance::Claim::noBus);
}

TEST_F(RunningHub, RequestsUpToTheirLimitArriveAndALongerOneIsRefused) {
    EXPECT_TRUE(handOver(QStringLiteral("ostrel-hub://product/aurora-verb")));
    EXPECT_EQ(opened, QStringList{QStringLiteral("ostrel-hub://product/aurora-verb")});
    EXPECT_EQ(activations, 1) << "opening brings the window forward";

    // A bare launch only brings the window forward.
    EXPECT_TRUE(handOver(QString()));
    EXPECT_EQ(opened.size(), 1);
    EXPECT_EQ(activations, 2);

    const QString longest(SingleInstance::maxRequestLength, u'x');
    EXPECT_TRUE(handOver(longest));
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened.back(), longest);
    EXPECT_FALSE(handOver(longest + u'x'));
    EXPECT_EQ(opened.size(), 2);
    EXPECT_EQ(activations, 3);
}

TEST_F(RunningHub, ALaterLaunchGivesUpOnAHubThatDoesNotAnswer) {
    // This thread is the hub's and it is busy in the call below, so the hub cannot answer.
    test::OwnBusConnection later;
    EXPECT_FALSE(SingleInstance::handOver(later.bus(), QStringLiteral("section:library"), 200ms));
    test::settle();
    // Nothing answers once the hub is gone either.
    first.reset();
    EXPECT_FALSE(handOver(QStringLiteral("section:library")));
}

// A model on no services, in `dir`: links and targets only move its navigation.
std::unique_ptr<AppModel> idleModelIn(const test::TempDir& dir) {
    auto environment = test::modelEnvironmentIn(dir);
    environment.cold = true;
    return std::make_unique<AppModel>(std::move(environment));
}

TEST(LaunchRequest, LinksGoToTheDeepLinksAndAnythingElseIsAnOpenTarget) {
    test::TempDir dir;
    const auto model = idleModelIn(dir);
    const auto navigation = [&]() -> Navigation& { return *model->navigation(); };
    applyLaunchRequest(QStringLiteral("ostrel-hub://updates"), *model);
    EXPECT_EQ(navigation().selection(), HubSection::updates);
    applyLaunchRequest(QStringLiteral("ostrel-hub://product/aurora-verb"), *model);
    EXPECT_EQ(navigation().path(), QStringList{QStringLiteral("aurora-verb")});
    applyLaunchRequest(QStringLiteral("section:library"), *model);
    EXPECT_EQ(navigation().selection(), HubSection::library);
    applyLaunchRequest(QStringLiteral("search:reverb"), *model);
    EXPECT_EQ(navigation().search(), QStringLiteral("reverb"));
    // Another scheme is no link of the hub's, and as a target it names nothing.
    applyLaunchRequest(QStringLiteral("https://product/aurora-verb"), *model);
    EXPECT_EQ(navigation().selection(), HubSection::library);
    EXPECT_TRUE(navigation().path().isEmpty());
    EXPECT_FALSE(model->showSignIn());
    applyLaunchRequest(QStringLiteral("signin"), *model);
    EXPECT_TRUE(model->showSignIn());
}

#ifdef OSTREL_HUB_BINARY
// The real app started again, off-screen, in a home of its own.
struct LaterLaunch {
    test::TempDir home;
    QProcess process;
    QString standardError;

    int run(const QStringList& arguments) {
        auto environment = QProcessEnvironment::systemEnvironment();
        const auto at = [&](const char* folder) { return QString::fromStdString((home / folder).string()); };
        environment.insert(QStringLiteral("HOME"), at(""));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), at("config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), at("data"));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), at("cache"));
        environment.insert(QStringLiteral("XDG_STATE_HOME"), at("state"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(OSTREL_HUB_BINARY), arguments);
        EXPECT_TRUE(process.waitForStarted());
        EXPECT_TRUE(test::runUntil([&] { return process.state() == QProcess::NotRunning; }, 120s));
        standardError = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // The hub keeps its settings and data under these; a launch that only hands over makes
    // no app model and writes neither.
    bool keptNothing() const { return !fs::exists(home / "config") && !fs::exists(home / "data"); }
};

TEST_F(RunningHub, TheAppStartedAgainHandsOverItsLinkOrTargetAndEnds) {
    test::TempDir dir;
    const auto idle = idleModelIn(dir);
    auto& model = *idle;
    QObject::connect(first.get(), &SingleInstance::openRequested,
                     [&](const QString& request) { applyLaunchRequest(request, model); });

    // As a desktop opens a link: the URL alone.
    LaterLaunch link;
    EXPECT_EQ(link.run({QStringLiteral("ostrel-hub://product/aurora-verb")}), 0) << link.standardError.toStdString();
    EXPECT_EQ(model.navigation()->path(), QStringList{QStringLiteral("aurora-verb")});
    EXPECT_TRUE(link.keptNothing());

    LaterLaunch target;
    EXPECT_EQ(target.run({QStringLiteral("--open"), QStringLiteral("section:library")}), 0)
        << target.standardError.toStdString();
    EXPECT_EQ(model.navigation()->selection(), HubSection::library);
    EXPECT_TRUE(target.keptNothing());

    // From the launcher again: the window comes forward, nothing else changes.
    LaterLaunch bare;
    EXPECT_EQ(bare.run({}), 0) << bare.standardError.toStdString();
    EXPECT_EQ(activations, 3);
    EXPECT_EQ(opened.size(), 2);
    EXPECT_TRUE(bare.keptNothing());
}

TEST(LaterLaunch, AHubThatHoldsTheNameButDoesNotAnswerMakesTheLaunchFail) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    // The name is held on a connection that answers no hub's calls.
    test::OwnBusConnection silent;
    ASSERT_TRUE(silent.bus().interface()->registerService(SingleInstance::serviceName).isValid());
    LaterLaunch launch;
    EXPECT_EQ(launch.run({QStringLiteral("ostrel-hub://updates")}), 1);
    EXPECT_TRUE(launch.standardError.contains(QStringLiteral("Ostrel Hub is already open but did not answer.")))
        << launch.standardError.toStdString();
    EXPECT_TRUE(launch.keptNothing());
}
#endif

} // namespace
} // namespace ostrel::hub
