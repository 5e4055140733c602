#include "OwnBusConnection.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <atomic>
#include <stdexcept>

namespace ostrel::test {
namespace {

QString freshName() {
    static std::atomic<int> made{0};
    return QStringLiteral("ostrel-test-peer-%1").arg(++made);
}

} // namespace

OwnBusConnection::OwnBusConnection()
    : name_(freshName()), bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name_)) {
    if (!bus_.isConnected())
        throw std::runtime_error("no session bus for the test peer: " + bus_.lastError().message().toStdString());
}

OwnBusConnection::~OwnBusConnection() {
    QDBusConnection::disconnectFromBus(name_);
}

void OwnBusConnection::roundTrip() {
    // Messages of one connection are handled in order, so its answer comes after the rest.
    (void)bus_.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus"));
}

} // namespace ostrel::test
