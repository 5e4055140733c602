// The desktop app's entry.
#include "Model/AppModel.h"
#include "Views/ViewEngine.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>

#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Ostrel_HubPlugin)

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Ostrel Hub"));
    QGuiApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QQuickStyle::setStyle(QStringLiteral("Basic"));

    ostrel::hub::ModelEnvironment environment;
    auto arguments = QGuiApplication::arguments();
    if (auto at = arguments.indexOf(QStringLiteral("--config")); at >= 0 && at + 1 < arguments.size())
        environment.config = ostrel::ServiceConfig::load(arguments[at + 1].toStdString());
    ostrel::hub::AppModel model(std::move(environment));

    QQmlApplicationEngine engine;
    ostrel::hub::prepareEngine(engine, model.services().images);
    engine.setInitialProperties({{QStringLiteral("hub"), QVariant::fromValue(&model)}});
    engine.load(QUrl(QStringLiteral("qrc:/Ostrel/Hub/Main.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;
    model.startInBackground();
    return app.exec();
}
