// The checkout sheet tests' main: an isolated home and an off-screen GUI application readied for
// a web engine that starts late, as the app's main does, then the tests on the GUI thread.
#include "HomeIsolation.h"

#include <QGuiApplication>
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    auto home = ostrel::test::isolateHome();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Test machines often run as root, where the engine's sandbox cannot start; only these tests
    // go without it.
    ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
