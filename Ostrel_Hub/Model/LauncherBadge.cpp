#include "Model/LauncherBadge.h"

#include "Util/Log.h"

#include <QDBusMessage>
#include <QString>
#include <QVariantMap>
#include <algorithm>
#include <utility>

namespace ostrel::hub {
namespace {

const QString objectPath = QStringLiteral("/com/ostrel/hub/launcher");
const QString interfaceName = QStringLiteral("com.canonical.Unity.LauncherEntry");
// Names the hub's desktop file, which is how the dock finds the icon to badge.
const QString appUri = QStringLiteral("application://com.ostrel.hub.desktop");

QDBusMessage update(int count) {
    auto signal = QDBusMessage::createSignal(objectPath, interfaceName, QStringLiteral("Update"));
    const QVariantMap properties{{QStringLiteral("count"), qint64(count)},
                                 {QStringLiteral("count-visible"), count > 0}};
    signal << appUri << properties;
    return signal;
}

} // namespace

LauncherBadge::LauncherBadge(QDBusConnection bus) : bus_(std::move(bus)) {}

void LauncherBadge::setCount(int count) {
    count = std::max(count, 0);
    if (announced_ == count)
        return;
    // Sending only queues the signal; it never waits for the bus.
    if (!bus_.send(update(count))) {
        Log::info(Log::Category::launch, "launcher badge not updated: no session bus");
        return;
    }
    announced_ = count;
}

} // namespace ostrel::hub
