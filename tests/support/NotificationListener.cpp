#include "NotificationListener.h"

#include <QDBusError>
#include <stdexcept>

namespace ostrel::test {
namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

NotificationListener::NotificationListener() {
    auto& bus = connection_.bus();
    if (!bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots))
        throw std::runtime_error("could not export the test notification server");
    // Blocks until the bus has given us the name, so notifications sent afterwards reach us.
    if (!bus.registerService(service))
        throw std::runtime_error("could not own " + service.toStdString() + ": " +
                                 bus.lastError().message().toStdString());
}

NotificationListener::~NotificationListener() {
    connection_.bus().unregisterService(service);
    connection_.bus().unregisterObject(objectPath);
}

quint32 NotificationListener::Notify(const QString& appName, quint32 replacesId, const QString& appIcon,
                                     const QString& summary, const QString& body, const QStringList& actions,
                                     const QVariantMap& hints, qint32 expireTimeout) {
    (void)actions;
    const auto id = replacesId != 0 ? replacesId : static_cast<quint32>(received_.size() + 1);
    received_.push_back({id, appName, appIcon, summary, body, hints, expireTimeout});
    return id;
}

QStringList NotificationListener::GetCapabilities() const {
    return {QStringLiteral("body")};
}

QString NotificationListener::GetServerInformation(QString& vendor, QString& version, QString& protocolVersion) const {
    vendor = QStringLiteral("Ostrel tests");
    version = QStringLiteral("1");
    protocolVersion = QStringLiteral("1.2");
    return QStringLiteral("ostrel-test-notifications");
}

} // namespace ostrel::test
