#pragma once

#include <QCoroTask>
#include <QDBusConnection>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace ostrel::hub {

// Posts desktop notifications through the freedesktop.org notification service. Nothing here
// ever blocks: the request goes out asynchronously, and a desktop without a notification
// server simply shows nothing.
class DesktopNotifier {
public:
    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus());

    // Shows the notification at once. The task gives the server's id for it, or nothing when no
    // server took it; failures are only logged. The task need not be awaited.
    QCoro::Task<std::optional<quint32>> notify(const QString& title, const QString& body) const;

private:
    QDBusConnection bus_;
};

} // namespace ostrel::hub
