// The main of the app's test programs: an isolated home, an off-screen GUI application (the
// model reads the application state), then the tests on its thread, which is the GUI thread.
#include "HomeIsolation.h"
#include "Model/Worker.h"

#include <QGuiApplication>
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    auto home = ostrel::test::isolateHome();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Screens may open the checkout sheet, whose web engine starts late: readied as the app's
    // main does, and, as tests often run as root where its sandbox cannot start, without it.
    ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QGuiApplication app(argc, argv);
    // As in the app: the model's worker threads end before the application object, not inside exit.
    const ostrel::hub::WorkerDrain workers;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
