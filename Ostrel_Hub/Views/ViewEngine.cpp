#include "Views/ViewEngine.h"

#include "Model/AppModel.h"
#include "Model/HubSection.h"
#include "Model/ImageMemory.h"
#include "Views/CachedImageProvider.h"
#include "Views/FrameIncubator.h"
#include "Views/IconProvider.h"
#include "Views/ImageMemoryProbe.h"

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QQmlEngine>
#include <memory>

namespace ostrel::hub {

namespace {

// Types are registered for the whole process, once: the module is closed to new types as soon
// as the first engine has loaded it.
void registerTypes() {
    // The sections' enumeration reaches QML as HubSection.discover and so on.
    qmlRegisterUncreatableMetaObject(HubSections::staticMetaObject, "Ostrel.Hub", 1, 0, "HubSection",
                                     QStringLiteral("HubSection is an enumeration"));
    qmlRegisterUncreatableType<AppModel>("Ostrel.Hub", 1, 0, "AppModel",
                                         QStringLiteral("The app creates the one AppModel"));
    qmlRegisterSingletonType<ImageMemoryProbe>("Ostrel.Hub", 1, 0, "CachedImages", [](QQmlEngine*, QJSEngine*) {
        return std::make_unique<ImageMemoryProbe>(ImageMemory::shared()).release(); // the engine owns it
    });
}

// The hub's typeface, as the application's default font: every text and control starts in it,
// so the window never has to hand a new font down its whole tree once it is built.
void useHubTypeface() {
    auto font = QGuiApplication::font();
    if (font.family() == QStringLiteral("Inter"))
        return;
    font.setFamily(QStringLiteral("Inter"));
    QGuiApplication::setFont(font);
}

// The modules the screens load on demand (the checkout's web view): beside an installed hub, or
// in the build.
QString onDemandModules() {
    const QDir installed(QCoreApplication::applicationDirPath() + QStringLiteral("/../lib/ostrel-hub/qml"));
    return installed.exists() ? installed.canonicalPath() : QStringLiteral(OSTREL_QML_BUILD_MODULES);
}

} // namespace

std::jthread readFontsAhead() {
    // The database is shared by every thread and filled once, under its own lock.
    return std::jthread([] { QFontDatabase::hasFamily(QStringLiteral("Inter")); });
}

std::unique_ptr<QQmlComponent> compileAhead(QQmlEngine& engine, const QUrl& screen) {
    return std::make_unique<QQmlComponent>(&engine, screen, QQmlComponent::Asynchronous);
}

void prepareEngine(QQmlEngine& engine, std::shared_ptr<ImageDataCache> images) {
    static const bool registered = (registerTypes(), true);
    (void)registered;
    useHubTypeface();
    // Ostrel.Hub is built in, its qmldir among the resources: the on-demand modules import it
    // from outside and find its QML types there.
    engine.addImportPath(QStringLiteral("qrc:/"));
    engine.addImportPath(onDemandModules());
    // The engine owns its providers.
    engine.addImageProvider(QStringLiteral("icon"), std::make_unique<IconProvider>().release());
    engine.addImageProvider(QStringLiteral("cached"),
                            std::make_unique<CachedImageProvider>(std::move(images), ImageMemory::shared()).release());
    // Screens loaded in the background are built a slice at a time; the engine, as parent, owns
    // the builder and lets go of it before deleting it.
    engine.setIncubationController(std::make_unique<FrameIncubator>(&engine).release());
}

} // namespace ostrel::hub
