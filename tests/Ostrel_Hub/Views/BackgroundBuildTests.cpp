// Screens built in the background: a large one is built a slice at a time between other events,
// and a screen compiled ahead is compiled off the caller's path.
#include "ScreenHarness.h"
#include "Views/ViewEngine.h"

#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlIncubationController>
#include <QQuickItem>
#include <QTest>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

// Thousands of rows behind an asynchronous loader: far more than one slice can build.
constexpr auto bigScreen = R"(
import QtQuick
Loader {
    asynchronous: true
    sourceComponent: Column {
        Repeater {
            model: 4000
            Text { text: "Row " + index }
        }
    }
})";

TEST(BackgroundBuild, ALargeScreenIsBuiltInSlicesThatLeaveTheEventLoopFreeAndThenShows) {
    test::ScreenHarness screens;
    auto& engine = screens.engine();
    QQmlComponent component(&engine);
    component.setData(bigScreen, QUrl(QStringLiteral("qrc:/BigScreen.qml")));
    ASSERT_TRUE(component.isReady()) << component.errorString().toStdString();
    std::unique_ptr<QObject> loader(component.create());
    ASSERT_NE(loader, nullptr);
    auto* incubator = engine.incubationController();
    ASSERT_NE(incubator, nullptr) << "the engine builds everything at once without a controller";
    EXPECT_GT(incubator->incubatingObjectCount(), 0);

    // Each slice hands the event loop back with work left.
    int passes = 0;
    while (incubator->incubatingObjectCount() > 0 && passes < 10000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ++passes;
    }
    EXPECT_GT(passes, 3) << "the screen was built in one go";
    EXPECT_EQ(incubator->incubatingObjectCount(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return loader->property("status").toInt() == 1; }));
    auto* column = loader->property("item").value<QQuickItem*>();
    ASSERT_NE(column, nullptr);
    EXPECT_EQ(column->childItems().size(), 4001); // the rows and their repeater
    EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
}

TEST(BackgroundBuild, APageCompiledAheadIsCompiledAwayFromTheCallerAndThenReady) {
    test::ScreenHarness screens;
    const auto ahead = compileAhead(screens.engine(), QUrl(QStringLiteral("qrc:/Ostrel/Hub/ProductPage.qml")));
    EXPECT_TRUE(ahead->isLoading()) << "compiled on the caller's thread";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ahead->isLoading(); }));
    EXPECT_TRUE(ahead->isReady()) << ahead->errorString().toStdString();

    const auto missing = compileAhead(screens.engine(), QUrl(QStringLiteral("qrc:/Ostrel/Hub/NoSuchPage.qml")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !missing->isLoading(); }));
    EXPECT_TRUE(missing->isError());
}

} // namespace
} // namespace ostrel::hub
