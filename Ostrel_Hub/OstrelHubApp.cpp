#include "OstrelHubApp.h"

#include "Checkout/CheckoutGuard.h"
#include "Checkout/CheckoutTypes.h"
#include "LaunchProbes.h"
#include "Model/LaunchOpen.h"
#include "Util/Log.h"
#include "Views/Appearance.h"
#include "Views/ViewEngine.h"

#include <QGuiApplication>
#include <QPointer>
#include <QQuickStyle>
#include <QQuickWindow>
#include <cstdio>

namespace ostrel::hub {
namespace {

QStringList argumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// A snapshot run never shows a window on the desktop.
void preferOffScreenRendering() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void describeApplication() {
    QGuiApplication::setApplicationName(QStringLiteral("Ostrel Hub"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Ostrel Hub"));
    QGuiApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QGuiApplication::setApplicationVersion(QStringLiteral(OSTREL_HUB_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.ostrel.hub"));
    QQuickStyle::setStyle(QStringLiteral("Basic"));
}

// The first argument that is one of the hub's own links, as a desktop opens them.
std::optional<QUrl> linkIn(const QStringList& arguments) {
    for (const auto& argument : arguments)
        if (argument.startsWith(Navigation::linkScheme + u':'))
            return QUrl(argument);
    return std::nullopt;
}

} // namespace

int OstrelHubApp::run(int argc, char** argv) {
    const auto arguments = LaunchArguments::parse(argumentsOf(argc, argv));
    if (arguments.backgroundUpdate)
        return runBackgroundUpdate(arguments);
    if (arguments.snapshotFolder)
        preferOffScreenRendering();
    QGuiApplication application(argc, argv);
    describeApplication();
    registerCheckoutTypes();
    CheckoutGuard::prepareEngine(arguments.snapshot);
    std::optional<ModelEnvironment> environment;
    try {
        environment = arguments.environment();
    } catch (const LaunchArgumentError& error) {
        std::fprintf(stderr, "ostrel-hub: %s\n", error.what());
        return 2;
    }
    OstrelHubApp hub(arguments, std::move(*environment));
    if (!hub.launch())
        return 1;
    if (auto link = linkIn(argumentsOf(argc, argv)))
        hub.model_->open(*link);
    return QGuiApplication::exec();
}

int OstrelHubApp::runBackgroundUpdate(const LaunchArguments&) {
    Log::info(Log::Category::backgroundUpdate, "background updates are not available in this build yet");
    return 0;
}

OstrelHubApp::OstrelHubApp(const LaunchArguments& arguments, ModelEnvironment environment)
    : arguments_(arguments), model_(std::make_unique<AppModel>(std::move(environment))),
      clock_(LaunchClock::Options{.measure = arguments.measureLaunch}),
      beta_(QStringLiteral(OSTREL_HUB_VERSION), QStringLiteral(OSTREL_HUB_BUILD)) {
    if (arguments_.snapshot)
        Appearance::force(true);
    prepareEngine(engine_, model_->services().images);
}

OstrelHubApp::~OstrelHubApp() = default;

bool OstrelHubApp::launch() {
    if (!arguments_.snapshotFolder && !openMainWindow())
        return false;
    if (arguments_.measureMemory || arguments_.measureFrames)
        probes_ = std::make_unique<LaunchProbes>(clock_, *model_, engine_, arguments_.measureFrames);
    startModel();
    return true;
}

bool OstrelHubApp::openMainWindow() {
    engine_.setInitialProperties({{QStringLiteral("hub"), QVariant::fromValue(model_.get())},
                                  {QStringLiteral("launch"), QVariant::fromValue(&clock_)},
                                  {QStringLiteral("beta"), QVariant::fromValue(&beta_)}});
    engine_.load(QUrl(QStringLiteral("qrc:/Ostrel/Hub/Main.qml")));
    if (engine_.rootObjects().isEmpty())
        return false;
    if (auto* window = qobject_cast<QQuickWindow*>(engine_.rootObjects().constFirst()))
        window->show();
    return true;
}

// The first refresh, then what the launch arguments ask of a loaded store.
QCoro::Task<> OstrelHubApp::startModel() {
    if (arguments_.snapshot)
        model_->stopUpdateLoop();
    QPointer model(model_.get());
    auto starting = model_->start();
    co_await starting;
    if (!model)
        co_return;
    if (arguments_.openTarget)
        applyOpenTarget(*arguments_.openTarget, *model_);
    if (!arguments_.snapshotFolder)
        co_return;
    snapshotter_ = std::make_unique<Snapshotter>(engine_, *model_);
    auto running = snapshotter_->run(*arguments_.snapshotFolder);
    co_await running;
    QGuiApplication::quit();
}

} // namespace ostrel::hub
