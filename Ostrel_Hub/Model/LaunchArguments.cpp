#include "Model/LaunchArguments.h"

#include "Util/Log.h"

namespace ostrel::hub {
namespace fs = std::filesystem;
namespace {

// The argument after the first `name`; none when `name` is absent or last.
std::optional<QString> valueAfter(const QStringList& arguments, const QString& name) {
    const auto at = arguments.indexOf(name);
    if (at < 0 || at + 1 >= arguments.size())
        return std::nullopt;
    return arguments[at + 1];
}

std::optional<fs::path> pathAfter(const QStringList& arguments, const QString& name) {
    auto value = valueAfter(arguments, name);
    if (!value)
        return std::nullopt;
    return fs::path(value->toStdString());
}

ServiceConfig configFrom(const fs::path& file) {
    try {
        return ServiceConfig::load(file);
    } catch (const ServiceConfigError& error) {
        Log::error(Log::Category::launch, file.string() + ": " + error.detail());
        throw LaunchArgumentError("The service configuration " + file.string() + " cannot be used.");
    }
}

signature::TrustSettings trustFrom(const fs::path& file) {
    auto anchors = signature::TrustAnchors::fromPemFile(file);
    if (!anchors)
        throw LaunchArgumentError("The anchors file " + file.string() + " cannot be read or holds no certificate.");
    return signature::TrustSettings{.anchors = std::move(*anchors)};
}

} // namespace

LaunchArguments LaunchArguments::parse(const QStringList& arguments) {
    LaunchArguments parsed;
    parsed.backgroundUpdate = arguments.contains(QStringLiteral("--background-update"));
    parsed.cold = arguments.contains(QStringLiteral("--cold"));
    parsed.measureLaunch = arguments.contains(QStringLiteral("--measure-launch"));
    parsed.measureMemory = arguments.contains(QStringLiteral("--measure-memory"));
    parsed.measureFrames = arguments.contains(QStringLiteral("--measure-frames"));
    parsed.snapshot = arguments.contains(QStringLiteral("--snapshot"));
    parsed.snapshotFolder = pathAfter(arguments, QStringLiteral("--snapshot"));
    if (parsed.snapshot)
        parsed.fixtures = pathAfter(arguments, QStringLiteral("--fixtures"));
    parsed.openTarget = valueAfter(arguments, QStringLiteral("--open"));
    parsed.config = pathAfter(arguments, QStringLiteral("--config"));
    parsed.team = valueAfter(arguments, QStringLiteral("--team"));
    parsed.anchors = pathAfter(arguments, QStringLiteral("--anchors"));
    parsed.home = pathAfter(arguments, QStringLiteral("--home"));
    parsed.data = pathAfter(arguments, QStringLiteral("--data"));
    return parsed;
}

ModelEnvironment LaunchArguments::environment() const {
    ModelEnvironment environment;
    if (config)
        environment.config = configFrom(*config);
    if (team)
        environment.signaturePolicy.teamID = team->toStdString();
    if (anchors)
        environment.codeTrust = trustFrom(*anchors);
    environment.cold = cold;
    environment.ephemeralSessions = ephemeralSessions();
    environment.fixtures = fixtures;
    environment.home = home;
    if (data) {
        environment.supportFolder = *data;
        environment.workFolder = *data / "cache" / "work";
        environment.snapshotFolder = *data / "cache" / "snapshots";
        environment.settingsFile = QString::fromStdString((*data / "settings.conf").string());
    }
    return environment;
}

} // namespace ostrel::hub
