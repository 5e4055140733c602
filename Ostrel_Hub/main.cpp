// The desktop app's entry.
#include "OstrelHubApp.h"

#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Ostrel_HubPlugin)

int main(int argc, char** argv) {
    return ostrel::hub::OstrelHubApp::run(argc, argv);
}
