// The desktop app's entry.
#include "OstrelHubApp.h"

#include <QCoreApplication>

#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Ostrel_HubPlugin)

int main(int argc, char** argv) {
    // The checkout sheet's web engine is a plugin that starts late, when the sheet first opens;
    // all it needs from the start is OpenGL contexts shared, set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return ostrel::hub::OstrelHubApp::run(argc, argv);
}
