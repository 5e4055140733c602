// Opening and revealing installed products. The desktop's handler is replaced by a recorder, and
// on the private session bus a stand-in exports the file manager's interface: a real file manager
// cannot run here.
#include "EventLoop.h"
#include "Model/Workspace.h"
#include "PrivateSessionBus.h"
#include "TempDir.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

namespace fs = std::filesystem;

// Answers ShowItems as org.freedesktop.FileManager1 does and remembers what it was asked.
class FakeFileManager : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override {
        return QStringLiteral("<interface name=\"org.freedesktop.FileManager1\"><method name=\"ShowItems\">"
                              "<arg type=\"as\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
                              "</method></interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != QStringLiteral("org.freedesktop.FileManager1") ||
            message.member() != QStringLiteral("ShowItems") || message.arguments().size() != 2)
            return false;
        shown.push_back(message.arguments()[0].toStringList());
        startupIds.push_back(message.arguments()[1].toString());
        connection.send(message.createReply());
        return true;
    }

    std::vector<QStringList> shown;
    std::vector<QString> startupIds;
};

struct Installed {
    test::TempDir dir;
    std::vector<QUrl> opened;
    Workspace::Opener opener = [this](const QUrl& location) {
        opened.push_back(location);
        return true;
    };

    InstalledItem item(const std::string& name, BundleKind kind, bool present = true) {
        if (present)
            test::makeBundleFolder(dir / "home" / name);
        return {.path = (dir / "home" / name).string(),
                .kind = kind,
                .identifier = "com.ostrel." + name,
                .teamID = "K7QZ2M4XNB",
                .version = "1.0"};
    }

    static QUrl url(const InstalledItem& item) { return QUrl::fromLocalFile(QString::fromStdString(item.path)); }
};

InstallRecord recordOf(std::vector<InstalledItem> items) {
    return {.productId = "p",
            .productName = "P",
            .version = "1.0",
            .downloadKey = "k",
            .installedAt = {},
            .items = std::move(items),
            .notes = {}};
}

// openApp never needs the bus.
QDBusConnection noBus() {
    return QDBusConnection(QStringLiteral("ostrel-no-bus"));
}

TEST(Workspace, OpenAppHandsOverTheFirstAppStillOnDisk) {
    Installed installed;
    const Workspace workspace(noBus(), installed.opener);
    const auto gone = installed.item("Gone.app", BundleKind::app, false);
    const auto plugIn = installed.item("Echo.vst3", BundleKind::vst3);
    const auto app = installed.item("Echo.app", BundleKind::app);
    const auto second = installed.item("Other.app", BundleKind::app);
    EXPECT_TRUE(test::await(workspace.openApp(recordOf({gone, plugIn, app, second}))));
    EXPECT_EQ(installed.opened, std::vector<QUrl>{Installed::url(app)});

    EXPECT_FALSE(test::await(workspace.openApp(recordOf({plugIn, gone}))));
    EXPECT_EQ(installed.opened.size(), 1u) << "nothing happens without an app";
}

TEST(Workspace, RevealAsksTheFileManagerToShowThePresentItems) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    auto fileManagerBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("file-manager"));
    FakeFileManager fileManager;
    ASSERT_TRUE(fileManagerBus.registerVirtualObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager));
    ASSERT_TRUE(fileManagerBus.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    Installed installed;
    const Workspace workspace(QDBusConnection::sessionBus(), installed.opener);
    const auto first = installed.item("Echo.vst3", BundleKind::vst3);
    const auto gone = installed.item("Echo.clap", BundleKind::clap, false);
    const auto last = installed.item("Echo.component", BundleKind::component);
    EXPECT_TRUE(test::await(workspace.reveal(recordOf({first, gone, last}))));
    ASSERT_EQ(fileManager.shown.size(), 1u);
    EXPECT_EQ(fileManager.shown[0], (QStringList{Installed::url(first).toString(QUrl::FullyEncoded),
                                                 Installed::url(last).toString(QUrl::FullyEncoded)}));
    EXPECT_EQ(fileManager.startupIds, std::vector<QString>{QString()});
    EXPECT_TRUE(installed.opened.empty());

    EXPECT_FALSE(test::await(workspace.reveal(recordOf({gone}))));
    EXPECT_EQ(fileManager.shown.size(), 1u) << "nothing to show";

    fileManagerBus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    fileManagerBus.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    QDBusConnection::disconnectFromBus(QStringLiteral("file-manager"));
}

TEST(Workspace, WithoutAFileManagerRevealOpensTheFolder) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    ASSERT_FALSE(
        QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("org.freedesktop.FileManager1")));
    Installed installed;
    const Workspace workspace(QDBusConnection::sessionBus(), installed.opener);
    const auto item = installed.item("Echo.vst3", BundleKind::vst3);
    EXPECT_TRUE(test::await(workspace.reveal(recordOf({item}))));
    EXPECT_EQ(installed.opened,
              std::vector<QUrl>{QUrl::fromLocalFile(QString::fromStdString((installed.dir / "home").string()))});
}

} // namespace
} // namespace ostrel::hub
