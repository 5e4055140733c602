// The launcher entry and icon `cmake --install` puts beside the hub: a valid entry that starts
// the installed program with a link, handles "ostrel-hub:" links and names the icon installed
// with it, the same entry the launcher badge names.
#include "EventLoop.h"
#include "LauncherEntryRecorder.h"
#include "Model/LauncherBadge.h"
#include "PrivateSessionBus.h"
#include "TempDir.h"
#include "Util/Subprocess.h"

#include <QImage>
#include <QImageReader>
#include <QStandardPaths>
#include <QString>
#include <map>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

#if defined(OSTREL_BUILD_DIR) && defined(OSTREL_CMAKE)
namespace fs = std::filesystem;

// The keys of the "[Desktop Entry]" group.
std::map<std::string, std::string> entryKeys(const std::string& text) {
    std::map<std::string, std::string> keys;
    bool inEntry = false;
    for (const auto& line : QString::fromStdString(text).split(u'\n')) {
        if (line.startsWith(u'['))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (const auto equals = line.indexOf(u'='); inEntry && equals > 0)
            keys[line.left(equals).trimmed().toStdString()] = line.mid(equals + 1).trimmed().toStdString();
    }
    return keys;
}

struct InstalledHub : ::testing::Test {
    static inline std::unique_ptr<test::TempDir> prefix;
    static inline Subprocess::Result install;

    // One install for the whole group: it copies the hub itself.
    static void SetUpTestSuite() {
        prefix = std::make_unique<test::TempDir>("prefix");
        install =
            Subprocess::run(OSTREL_CMAKE, {"--install", OSTREL_BUILD_DIR, "--prefix", prefix->path().string()}, 300);
    }
    static void TearDownTestSuite() { prefix.reset(); }

    void SetUp() override { ASSERT_EQ(install.status, 0) << install.standardError << install.standardOutput; }

    fs::path entry() const { return *prefix / "share/applications/com.ostrel.hub.desktop"; }
    fs::path icon() const { return *prefix / "share/icons/hicolor/scalable/apps/com.ostrel.hub.svg"; }
};

TEST_F(InstalledHub, TheEntryStartsTheInstalledHubWithALinkAndNamesItsIcon) {
    ASSERT_TRUE(fs::exists(entry()));
    auto keys = entryKeys(test::readFile(entry()));
    EXPECT_EQ(keys["Type"], "Application");
    EXPECT_EQ(keys["Name"], "Ostrel Hub");
    // The program the entry runs is the one installed beside it, given the link ("%u").
    EXPECT_EQ(keys["Exec"], "ostrel-hub %u");
    EXPECT_TRUE(fs::exists(*prefix / "bin" / keys["Exec"].substr(0, keys["Exec"].find(' '))));
    EXPECT_EQ(keys["MimeType"], "x-scheme-handler/ostrel-hub;");
    // Docks match the window to the entry by the entry's own name.
    EXPECT_EQ(keys["StartupWMClass"] + ".desktop", entry().filename().string());
    EXPECT_EQ(keys["Icon"] + ".svg", icon().filename().string());
    EXPECT_FALSE(keys["Categories"].empty());
    EXPECT_EQ(keys["Terminal"], "false");
}

TEST_F(InstalledHub, TheEntryPassesTheDesktopsOwnCheck) {
    const auto tool = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (tool.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed (scripts/setup installs desktop-file-utils)";
    const auto checked = Subprocess::run(tool.toStdString(), {entry().string()}, 60);
    EXPECT_EQ(checked.status, 0) << checked.standardOutput << checked.standardError;
    EXPECT_EQ(checked.standardOutput + checked.standardError, "") << "no hints either";
}

TEST_F(InstalledHub, TheIconIsADrawnTileAtAnySize) {
    for (const int size : {16, 48, 256}) {
        QImageReader reader(QString::fromStdString(icon().string()));
        reader.setScaledSize({size, size});
        const auto image = reader.read();
        ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
        EXPECT_EQ(image.size(), QSize(size, size));
        // A rounded tile: see-through corners, an opaque body.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 8 + 1)), 255);
        if (size == 256)
            image.save(QStringLiteral("/tmp/ostrel-hub-icon.png"));
    }
}

TEST_F(InstalledHub, TheLauncherBadgeNamesThisEntry) {
    OSTREL_REQUIRE_PRIVATE_SESSION_BUS();
    test::LauncherEntryRecorder dock;
    LauncherBadge badge;
    badge.setCount(2);
    ASSERT_TRUE(test::runUntil([&] { return !dock.received().empty(); }));
    EXPECT_EQ(dock.received().front().appUri.toStdString(), "application://" + entry().filename().string());
}
#endif

} // namespace
} // namespace ostrel::hub
