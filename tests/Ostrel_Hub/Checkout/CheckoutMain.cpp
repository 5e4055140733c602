// The checkout tests' main: an isolated home, the web engine readied before the off-screen GUI
// application exists (as the app does), then the tests on the GUI thread.
#include "HomeIsolation.h"

#include <QGuiApplication>
#include <cstdlib>

#include <gtest/gtest.h>

#include <QtWebEngineQuick/qtwebenginequickglobal.h>

int main(int argc, char** argv) {
    auto home = ostrel::test::isolateHome();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Test machines often run as root, where the engine's sandbox cannot start; only tests and
    // snapshot runs go without it.
    ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    QtWebEngineQuick::initialize();
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
