#include "OstrelHubApp.h"

#include "LaunchProbes.h"
#include "Model/BackgroundUpdater.h"
#include "Model/LaunchOpen.h"
#include "Model/SingleInstance.h"
#include "Model/Worker.h"
#include "Util/Log.h"
#include "Views/Appearance.h"
#include "Views/ViewEngine.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
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
    QGuiApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("com.ostrel.hub"), QIcon(QStringLiteral(":/desktop/com.ostrel.hub.svg"))));
    // The X11 window class instance the launcher entry's StartupWMClass names; read when the
    // first window is made.
    if (qEnvironmentVariableIsEmpty("RESOURCE_NAME"))
        qputenv("RESOURCE_NAME", "com.ostrel.hub");
    QQuickStyle::setStyle(QStringLiteral("Basic"));
}

// The first argument that is one of the hub's own links, as a desktop opens them.
std::optional<QUrl> linkIn(const QStringList& arguments) {
    for (const auto& argument : arguments)
        if (argument.startsWith(Navigation::linkScheme + u':'))
            return QUrl(argument);
    return std::nullopt;
}

// What a later launch hands to the running hub: its link, else its "--open" target, else
// nothing (the window only comes forward).
QString requestOf(const LaunchArguments& arguments, const QStringList& raw) {
    if (auto link = linkIn(raw))
        return link->toString(QUrl::FullyEncoded);
    return arguments.openTarget.value_or(QString());
}

int handOverToRunningHub(const LaunchArguments& arguments, const QStringList& raw) {
    if (SingleInstance::handOver(QDBusConnection::sessionBus(), requestOf(arguments, raw)))
        return 0;
    std::fprintf(stderr, "ostrel-hub: Ostrel Hub is already open but did not answer.\n");
    return 1;
}

// The self-updater of an installed hub; none for measurement and snapshot runs, which must not
// change what is installed.
std::unique_ptr<HubUpdater> makeUpdater(const LaunchArguments& arguments, const ModelEnvironment& environment) {
    const bool unattended =
        arguments.snapshot || arguments.measureLaunch || arguments.measureMemory || arguments.measureFrames;
    const auto program = QCoreApplication::applicationFilePath().toStdString();
    return std::make_unique<HubUpdater>(HubUpdater::Options{
        .update = unattended ? nullptr : HubUpdater::forProgram(program, environment.config),
        .settingsFile = environment.settingsFile,
    });
}

} // namespace

int OstrelHubApp::runSelfTest(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    std::printf("ostrel-hub self-test %s\n", OSTREL_HUB_VERSION);
    return 0;
}

int OstrelHubApp::run(int argc, char** argv) {
    if (argumentsOf(argc, argv).contains(QStringLiteral("--self-test")))
        return runSelfTest(argc, argv);
    const auto arguments = LaunchArguments::parse(argumentsOf(argc, argv));
    if (arguments.backgroundUpdate)
        return runBackgroundUpdate(arguments);
    if (arguments.snapshotFolder)
        preferOffScreenRendering();
    QGuiApplication application(argc, argv);
    const WorkerDrain workers;
    const auto fonts = readFontsAhead();
    describeApplication();
    // One hub per session; measurement and snapshot runs stand apart and never take the name.
    SingleInstance instance;
    if (!arguments.ephemeralSessions() && instance.claim() == SingleInstance::Claim::taken)
        return handOverToRunningHub(arguments, argumentsOf(argc, argv));
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
    hub.answerLaterLaunches(instance);
    if (auto link = linkIn(argumentsOf(argc, argv)))
        hub.model_->open(*link);
    return QGuiApplication::exec();
}

int OstrelHubApp::runBackgroundUpdate(const LaunchArguments& arguments) {
    // Made before the environment, whose session bus needs the application.
    int argc = 1;
    char name[] = "ostrel-hub";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    const WorkerDrain workers;
    QCoreApplication::setApplicationName(QStringLiteral("Ostrel Hub"));
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    try {
        return BackgroundUpdater::runAndExit(arguments.environment());
    } catch (const LaunchArgumentError& error) {
        std::fprintf(stderr, "ostrel-hub: %s\n", error.what());
        return 2;
    }
}

OstrelHubApp::OstrelHubApp(const LaunchArguments& arguments, ModelEnvironment environment)
    // The environment is copied, not moved: the background switch reads its settings file too.
    : arguments_(arguments), updater_(makeUpdater(arguments, environment)),
      model_(std::make_unique<AppModel>(environment)), clock_(LaunchClock::Options{.measure = arguments.measureLaunch}),
      beta_(QStringLiteral(OSTREL_HUB_VERSION), QStringLiteral(OSTREL_HUB_BUILD)),
      background_(BackgroundRegistration::standard(environment.settingsFile)) {
    if (arguments_.snapshot)
        Appearance::force(true);
    prepareEngine(engine_, model_->services().images);
    updater_->reportTo(model_->banners());
}

OstrelHubApp::~OstrelHubApp() = default;

bool OstrelHubApp::launch() {
    if (!arguments_.snapshotFolder && !openMainWindow())
        return false;
    // A snapshot run never registers the background agent.
    if (!arguments_.snapshot)
        background_.registerByDefault();
    if (arguments_.measureMemory || arguments_.measureFrames)
        probes_ = std::make_unique<LaunchProbes>(clock_, *model_, engine_, arguments_.measureFrames);
    startModel();
    updater_->start();
    return true;
}

bool OstrelHubApp::openMainWindow() {
    engine_.setInitialProperties({{QStringLiteral("hub"), QVariant::fromValue(model_.get())},
                                  {QStringLiteral("launch"), QVariant::fromValue(&clock_)},
                                  {QStringLiteral("beta"), QVariant::fromValue(&beta_)},
                                  {QStringLiteral("backgroundUpdates"), QVariant::fromValue(&background_)},
                                  {QStringLiteral("updater"), QVariant::fromValue(updater_.get())}});
    engine_.load(QUrl(QStringLiteral("qrc:/Ostrel/Hub/Main.qml")));
    if (engine_.rootObjects().isEmpty())
        return false;
    if (auto* window = qobject_cast<QQuickWindow*>(engine_.rootObjects().constFirst()))
        window->show();
    // Once the store shows, the product page is compiled on the loader's thread, so that the
    // first page opened is only built, not compiled as well.
    QObject::connect(&clock_, &LaunchClock::firstContentShown, &engine_, [this] {
        pageAhead_ = compileAhead(engine_, QUrl(QStringLiteral("qrc:/Ostrel/Hub/ProductPage.qml")));
    });
    return true;
}

void OstrelHubApp::answerLaterLaunches(SingleInstance& instance) {
    QObject::connect(&instance, &SingleInstance::openRequested, model_.get(),
                     [this](const QString& request) { applyLaunchRequest(request, *model_); });
    QObject::connect(&instance, &SingleInstance::activationRequested, model_.get(), [this] { bringWindowForward(); });
}

void OstrelHubApp::bringWindowForward() {
    if (engine_.rootObjects().isEmpty())
        return;
    auto* window = qobject_cast<QQuickWindow*>(engine_.rootObjects().constFirst());
    if (!window)
        return;
    if (window->windowStates() & Qt::WindowMinimized)
        window->showNormal();
    else
        window->show();
    window->raise();
    window->requestActivate();
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
