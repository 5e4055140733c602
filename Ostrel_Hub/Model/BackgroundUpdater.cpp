#include "Model/BackgroundUpdater.h"

#include "Install/AppDirectories.h"
#include "Install/InstallLock.h"
#include "Model/DesktopNotifier.h"
#include "Model/HubServices.h"
#include "Model/HubSettings.h"
#include "Model/Worker.h"
#include "Services/CurlTransport.h"
#include "Services/KeychainTokenPersistence.h"
#include "Util/Log.h"

#include <QCoreApplication>
#include <QCoroDBusPendingCall>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <memory>

namespace ostrel::hub::BackgroundUpdater {
namespace fs = std::filesystem;
namespace {

constexpr auto category = Log::Category::backgroundUpdate;
// The bus daemon answers at once; a hung one is not waited out.
constexpr int busTimeoutMs = 10'000;

bool autoUpdateOn(const ModelEnvironment& environment) {
    const auto settings = environment.settingsFile.isEmpty() ? HubSettings() : HubSettings(environment.settingsFile);
    return settings.autoUpdate();
}

// Whether another connection owns the hub's name: the hub is open. Only the name's owner is
// asked, so a bus without it, or no bus at all, means the hub is closed.
QCoro::Task<bool> applicationIsOpen(QDBusConnection bus) {
    if (!bus.isConnected())
        co_return false;
    auto ask =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
    ask << QString::fromLatin1(applicationBusName);
    const QDBusPendingCall pending = bus.asyncCall(ask, busTimeoutMs);
    const QDBusMessage reply = co_await pending;
    if (reply.type() != QDBusMessage::ReplyMessage)
        co_return false;
    co_return reply.arguments().value(0).toString() != bus.baseService();
}

fs::path folderOr(const std::optional<fs::path>& given, fs::path (*standard)()) {
    return given ? AppDirectories::owned(*given) : standard();
}

// What one pass holds while the runner works; it lives in the pass's frame, the runner's thread
// only borrows it.
struct Engine {
    Engine(const ModelEnvironment& environment, MoonbaseClient& client, const fs::path& support, const fs::path& work)
        : ledger(std::make_shared<InstallLedger>(support)),
          pipeline(HubServices::installPipeline(environment, client, ledger, work)) {}

    std::shared_ptr<InstallLedger> ledger;
    InstallPipeline pipeline;
};

// The store as the app reaches it: its pinned transport and the app's own session.
struct Store {
    explicit Store(const ServiceConfig& config)
        : transport(config.pinnedTrust(), CurlTransport::Options::from(config)),
          client(config.hostPolicy(), transport, tokens) {}

    CurlTransport transport;
    KeychainTokenPersistence tokens{KeychainTokenPersistence::serviceName, KeychainTokenPersistence::storeAccount};
    MoonbaseClient client;
};

// Every reason not to run is a line in the log and nothing else.
Ending quietly(Ending ending, const char* reason) {
    Log::info(category, std::string("no background update: ") + reason);
    return ending;
}

void log(const UpdateRunner::Outcome& outcome) {
    for (const auto& updated : outcome.updated)
        Log::info(category, "updated " + updated.productId + " to " + updated.version);
    for (const auto& failed : outcome.failed)
        Log::error(category, "update of " + failed.productId + " failed: " + failed.reason);
}

} // namespace

std::optional<Summary> summaryOf(const UpdateRunner::Outcome& outcome) {
    QStringList lines;
    for (const auto& updated : outcome.updated)
        lines << QString::fromStdString(updated.name + " " + updated.version);
    QStringList failed;
    for (const auto& failure : outcome.failed)
        failed << QString::fromStdString(failure.name);
    if (lines.isEmpty() && failed.isEmpty())
        return std::nullopt;
    const auto count = lines.size();
    const QString title = count > 0 ? QStringLiteral("Ostrel Hub updated %1 product%2")
                                          .arg(count)
                                          .arg(count == 1 ? QString() : QStringLiteral("s"))
                                    : QStringLiteral("Ostrel updates need you");
    if (!failed.isEmpty())
        lines << QStringLiteral("Open Ostrel Hub to finish: ") + failed.join(QStringLiteral(", "));
    return Summary{title, lines.join(u'\n')};
}

QCoro::Task<Ending> run(ModelEnvironment environment) {
    if (!autoUpdateOn(environment))
        co_return quietly(Ending::autoUpdateOff, "automatic updates are off");
    if (co_await applicationIsOpen(environment.bus))
        co_return quietly(Ending::applicationOpen, "Ostrel Hub is open and updates by itself");

    std::optional<fs::path> support;
    try {
        support = folderOr(environment.supportFolder, &AppDirectories::support);
    } catch (const std::exception& error) {
        Log::error(category, std::string("no data folder: ") + error.what());
        co_return Ending::foldersUnavailable;
    }
    InstallLock lock(*support);
    if (!lock.tryLock())
        co_return quietly(Ending::lockHeld, "an install is running");

    auto store = std::make_unique<Store>(environment.config);
    auto asking = onWorker([client = &store->client] { return client->isSignedIn(); });
    if (!co_await std::move(asking))
        co_return quietly(Ending::notSignedIn, "not signed in to the store");

    std::unique_ptr<Engine> engine;
    try {
        const auto work = folderOr(environment.workFolder, &AppDirectories::work);
        engine = std::make_unique<Engine>(environment, store->client, *support, work);
    } catch (const std::exception& error) {
        Log::error(category, std::string("no work folder: ") + error.what());
        co_return Ending::foldersUnavailable;
    }
    auto running = onWorker([client = &store->client, engine = engine.get()] {
        return UpdateRunner(*client, *engine->ledger, engine->pipeline).run();
    });
    const auto outcome = co_await std::move(running);
    log(outcome);
    if (const auto summary = summaryOf(outcome)) {
        auto posting = DesktopNotifier(environment.bus).notify(summary->title, summary->body);
        co_await std::move(posting);
    }
    co_return Ending::ran;
}

namespace {

struct PassState {
    bool finished = false;
    bool looping = false;
};

QCoro::Task<> passThenQuit(ModelEnvironment environment, PassState* state) {
    auto pass = run(std::move(environment));
    try {
        co_await std::move(pass);
    } catch (const std::exception& error) {
        // The secret store or the bus failed under the pass: nothing to tell the user, and the
        // process must still end.
        Log::error(category, std::string("background pass ended early: ") + error.what());
    }
    state->finished = true;
    // Only a running loop may be told to end: an exit without one would end every later loop
    // of this thread at once.
    if (state->looping)
        QCoreApplication::exit(0);
}

} // namespace

int runAndExit(ModelEnvironment environment) {
    PassState state;
    auto pass = passThenQuit(std::move(environment), &state);
    // A pass that ends before the loop starts (automatic updates off) never needs it.
    if (!state.finished) {
        state.looping = true;
        QCoreApplication::exec();
    }
    return 0;
}

} // namespace ostrel::hub::BackgroundUpdater
