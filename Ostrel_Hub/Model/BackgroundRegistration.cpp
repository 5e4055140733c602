#include "Model/BackgroundRegistration.h"

#include "Model/HubSettings.h"
#include "Model/Worker.h"
#include "Platform/LaunchAgent.h"
#include "Util/Log.h"

#include <QCoreApplication>
#include <QPointer>
#include <utility>

namespace ostrel::hub {
namespace fs = std::filesystem;
namespace {

constexpr auto category = Log::Category::backgroundUpdate;

HubSettings settingsIn(const QString& file) {
    return file.isEmpty() ? HubSettings() : HubSettings(file);
}

LaunchAgent agentFor(const BackgroundRegistration::Options& options) {
    return LaunchAgent({.executable = options.executable, .systemctl = options.systemctl});
}

// Blocks for systemctl: called on the Kit's threads only.
QString statusOf(const BackgroundRegistration::Options& options) {
    try {
        return QString::fromUtf8(rawValue(agentFor(options).status()));
    } catch (const LaunchAgentError&) {
        return QString::fromUtf8(rawValue(LaunchAgent::Status::notFound));
    }
}

// The hub runs from its installed place when its program lies in the install prefix's bin
// folder; a copy in a build folder or anywhere else never registers an agent.
bool runsFromInstalledPlace(const BackgroundRegistration::Options& options) {
    if (options.installedFolder.empty() || options.executable.empty())
        return false;
    std::error_code programError;
    std::error_code folderError;
    const auto folder = fs::weakly_canonical(options.executable.parent_path(), programError);
    const auto installed = fs::weakly_canonical(options.installedFolder, folderError);
    return !programError && !folderError && folder == installed;
}

struct Switched {
    QString status;
    QString error;
};

Switched switchAgent(const BackgroundRegistration::Options& options, bool on, bool registers) {
    QString error;
    try {
        if (registers)
            agentFor(options).enable();
        else if (!on)
            agentFor(options).disable();
    } catch (const LaunchAgentError& failure) {
        error = QString::fromUtf8(failure.what());
    }
    return {statusOf(options), error};
}

QString registerIfUnregistered(const BackgroundRegistration::Options& options) {
    try {
        auto agent = agentFor(options);
        if (agent.status() == LaunchAgent::Status::notRegistered)
            agent.enable();
    } catch (const LaunchAgentError&) {
        // Registration at start is a convenience: the Settings switch says what went wrong.
    }
    return statusOf(options);
}

} // namespace

BackgroundRegistration::Options BackgroundRegistration::standard(const QString& settingsFile) {
    return {.executable = QCoreApplication::applicationFilePath().toStdString(),
            .installedFolder = OSTREL_INSTALLED_PROGRAM_FOLDER,
            .settingsFile = settingsFile};
}

BackgroundRegistration::BackgroundRegistration(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)), available_(runsFromInstalledPlace(options_)) {
    refresh();
}

void BackgroundRegistration::setEnabled(bool on) {
    switchTo(on);
}

void BackgroundRegistration::refresh() {
    reload();
}

QCoro::Task<> BackgroundRegistration::switchTo(bool on) {
    settingsIn(options_.settingsFile).setBackgroundUpdatesTurnedOff(!on);
    const bool registers = on && available_;
    if (on && !available_)
        Log::info(category, "agent not registered: " + options_.executable.string() + " is not the installed hub in " +
                                options_.installedFolder.string());
    QPointer self(this);
    auto switching = onWorker([options = options_, on, registers] { return switchAgent(options, on, registers); });
    const auto switched = co_await std::move(switching);
    if (!self)
        co_return;
    setError(switched.error);
    setStatus(switched.status);
}

QCoro::Task<> BackgroundRegistration::reload() {
    QPointer self(this);
    auto reading = onWorker([options = options_] { return statusOf(options); });
    const auto status = co_await std::move(reading);
    if (!self)
        co_return;
    setStatus(status);
}

QCoro::Task<> BackgroundRegistration::registerByDefault() {
    if (settingsIn(options_.settingsFile).backgroundUpdatesTurnedOff() || !available_)
        co_return;
    QPointer self(this);
    auto registering = onWorker([options = options_] { return registerIfUnregistered(options); });
    const auto status = co_await std::move(registering);
    if (!self)
        co_return;
    setStatus(status);
}

void BackgroundRegistration::setStatus(const QString& status) {
    if (status == status_)
        return;
    const bool wasEnabled = enabled();
    status_ = status;
    emit statusChanged();
    if (enabled() != wasEnabled)
        emit enabledChanged();
}

void BackgroundRegistration::setError(const QString& error) {
    if (error == error_)
        return;
    error_ = error;
    emit errorChanged();
}

} // namespace ostrel::hub
