#include "Model/Workspace.h"

#include "Install/BundleKind.h"
#include "Model/Worker.h"
#include "Util/Log.h"

#include <QCoroDBusPendingCall>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDesktopServices>
#include <QStringList>
#include <algorithm>

namespace ostrel::hub {
namespace {

const QString fileManagerService = QStringLiteral("org.freedesktop.FileManager1");
const QString fileManagerPath = QStringLiteral("/org/freedesktop/FileManager1");
// A file manager that does not answer in this time is treated as absent.
constexpr int fileManagerTimeoutMs = 10'000;

QUrl locationOf(const std::filesystem::path& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path.string()));
}

// Whether an item is on disk is a file-system question: asked off the GUI thread.
QCoro::Task<std::vector<InstalledItem>> presentItemsOf(InstallRecord record) {
    // Made before it is awaited: GCC 12 destroys the temporaries of a co_await expression twice.
    auto call = onWorker([record = std::move(record)] { return record.presentItems(); });
    co_return co_await std::move(call);
}

} // namespace

Workspace::Workspace() : Workspace(QDBusConnection::sessionBus(), &Workspace::openWithDesktop) {}

Workspace::Workspace(QDBusConnection bus, Opener opener) : bus_(std::move(bus)), opener_(std::move(opener)) {}

bool Workspace::openWithDesktop(const QUrl& location) {
    return QDesktopServices::openUrl(location);
}

QCoro::Task<bool> Workspace::openApp(InstallRecord record) const {
    const Opener opener = opener_; // this object may be gone when the items come back
    auto listing = presentItemsOf(std::move(record));
    const auto items = co_await std::move(listing);
    const auto app = std::find_if(items.begin(), items.end(),
                                  [](const InstalledItem& item) { return rawValue(item.kind) == "app"; });
    if (app == items.end())
        co_return false;
    // A Mac app bundle cannot run on this system, so its launcher is never started: the bundle's
    // folder goes to the desktop's default handler, which shows what the app holds.
    co_return opener(locationOf(app->path));
}

QCoro::Task<bool> Workspace::reveal(InstallRecord record) const {
    QDBusConnection bus = bus_; // this object may be gone when the answers come back
    const Opener opener = opener_;
    auto listing = presentItemsOf(std::move(record));
    const auto items = co_await std::move(listing);
    if (items.empty())
        co_return false;
    QStringList uris;
    for (const auto& item : items)
        uris.push_back(locationOf(item.path).toString(QUrl::FullyEncoded));
    auto call = QDBusMessage::createMethodCall(fileManagerService, fileManagerPath, fileManagerService,
                                               QStringLiteral("ShowItems"));
    call << uris << QString();
    const QDBusPendingCall pending = bus.asyncCall(call, fileManagerTimeoutMs);
    const QDBusMessage reply = co_await pending;
    if (reply.type() != QDBusMessage::ErrorMessage)
        co_return true;
    Log::warning(Log::Category::install,
                 "the file manager could not show the items: " + reply.errorMessage().toStdString());
    co_return opener(locationOf(items.front().url().parent_path()));
}

} // namespace ostrel::hub
