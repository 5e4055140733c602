#include "EventLoop.h"
#include "LauncherEntryRecorder.h"
#include "Model/DesktopNotifier.h"
#include "Model/LauncherBadge.h"
#include "NotificationListener.h"
#include "PrivateSessionBus.h"

#include <QCoroDBusPendingCall>
#include <QDBusMessage>
#include <optional>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

TEST(DesktopNotifier, PostedTextReachesTheNotificationServer) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    test::NotificationListener server;
    DesktopNotifier notifier;

    const auto id = test::await(notifier.notify("An update is ready", "Vintage Verb"));
    ASSERT_EQ(server.received().size(), 1u);
    const auto& shown = server.received().front();
    EXPECT_EQ(id, shown.id);
    EXPECT_EQ(shown.summary, "An update is ready");
    EXPECT_EQ(shown.body, "Vintage Verb");
    EXPECT_EQ(shown.appName, "Ostrel Hub");
    EXPECT_EQ(shown.appIcon, "com.ostrel.hub");
    EXPECT_EQ(shown.expireTimeout, -1) << "the server's own choice";
    EXPECT_EQ(shown.hints.value("desktop-entry").toString(), "com.ostrel.hub");
}

TEST(DesktopNotifier, AnUnawaitedPostStillArrivesAfterTheNotifierIsGone) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    test::NotificationListener server;
    {
        DesktopNotifier notifier;
        notifier.notify("3 updates are ready", "A, B, C");
    }
    ASSERT_TRUE(test::runUntil([&] { return !server.received().empty(); }));
    EXPECT_EQ(server.received().front().body, "A, B, C");
}

QCoro::Task<QDBusMessage> askNotificationServer(QString method) {
    co_return co_await QDBusConnection::sessionBus().asyncCall(QDBusMessage::createMethodCall(
        "org.freedesktop.Notifications", "/org/freedesktop/Notifications", "org.freedesktop.Notifications", method));
}

TEST(NotificationListener, AnswersTheQuestionsClientsAskBeforePosting) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    test::NotificationListener server;
    const auto capabilities = test::await(askNotificationServer("GetCapabilities"));
    EXPECT_EQ(capabilities.arguments().value(0).toStringList(), QStringList{"body"});
    const auto information = test::await(askNotificationServer("GetServerInformation"));
    EXPECT_EQ(information.arguments().size(), 4) << "name, vendor, version and the version of the protocol";
    EXPECT_TRUE(server.received().empty());
}

TEST(DesktopNotifier, WithoutANotificationServerNothingIsShownAndNothingBreaks) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    DesktopNotifier notifier;
    EXPECT_EQ(test::await(notifier.notify("An update is ready", "Vintage Verb")), std::nullopt);

    DesktopNotifier offline{QDBusConnection(QStringLiteral("never-connected"))};
    EXPECT_EQ(test::await(offline.notify("An update is ready", "Vintage Verb")), std::nullopt);
}

struct Badge {
    qint64 count;
    bool visible;
    bool operator==(const Badge&) const = default;
};

std::vector<Badge> badges(const test::LauncherEntryRecorder& dock) {
    std::vector<Badge> seen;
    for (const auto& update : dock.received())
        seen.push_back(
            {update.properties.value("count").toLongLong(), update.properties.value("count-visible").toBool()});
    return seen;
}

TEST(LauncherBadge, AnnouncesTheCountOnlyWhenItChanges) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    test::LauncherEntryRecorder dock;
    LauncherBadge badge;
    badge.setCount(0);
    badge.setCount(0);
    badge.setCount(2);
    badge.setCount(2);
    badge.setCount(0);
    badge.setCount(-1);
    // The last distinct count: the bus keeps one sender's signals in order, so everything
    // before it has arrived once it has.
    badge.setCount(7);
    ASSERT_TRUE(test::runUntil([&] { return !dock.received().empty() && badges(dock).back().count == 7; }));

    EXPECT_EQ(badges(dock), (std::vector<Badge>{{0, false}, {2, true}, {0, false}, {7, true}}));
    for (const auto& update : dock.received()) {
        EXPECT_EQ(update.appUri, "application://com.ostrel.hub.desktop");
        EXPECT_EQ(update.path, "/com/ostrel/hub/launcher");
        EXPECT_EQ(update.properties.value("count").metaType(), QMetaType::fromType<qint64>()) << "a D-Bus int64";
    }
}

} // namespace
} // namespace ostrel::hub
