// The desktop app's entry.
#include "OstrelHubApp.h"

#include <QtQml/qqmlextensionplugin.h>
#include <QtWebEngineQuick/qtwebenginequickglobal.h>

Q_IMPORT_QML_PLUGIN(Ostrel_HubPlugin)

int main(int argc, char** argv) {
    // Before the application exists, as the checkout sheet's web view needs; the engine itself
    // starts only when the sheet opens.
    QtWebEngineQuick::initialize();
    return ostrel::hub::OstrelHubApp::run(argc, argv);
}
