#include "Views/ViewEngine.h"

#include "Model/AppModel.h"
#include "Model/HubSection.h"
#include "Views/IconProvider.h"

#include <QQmlEngine>
#include <memory>
#include <mutex>

namespace ostrel::hub {

void prepareEngine(QQmlEngine& engine) {
    static std::once_flag registered; // LOCAL: types register once per process
    std::call_once(registered, [] {
    // The sections' enumeration reaches QML as HubSection.discover and so on.
    qmlRegisterUncreatableMetaObject(HubSections::staticMetaObject, "Ostrel.Hub", 1, 0, "HubSection",
                                     QStringLiteral("HubSection is an enumeration"));
    qmlRegisterUncreatableType<AppModel>("Ostrel.Hub", 1, 0, "AppModel",
                                         QStringLiteral("The app creates the one AppModel"));
    });
    // The engine owns its providers.
    engine.addImageProvider(QStringLiteral("icon"), std::make_unique<IconProvider>().release());
}

} // namespace ostrel::hub
