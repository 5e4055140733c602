#pragma once

#include "OwnBusConnection.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QtGlobal>
#include <vector>

namespace ostrel::test {

// A desktop notification server on the session bus that shows nothing and remembers every
// notification it was asked to show. Holds the service name for its lifetime.
class NotificationListener : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notification {
        quint32 id = 0;
        QString appName;
        QString appIcon;
        QString summary;
        QString body;
        QVariantMap hints;
        qint32 expireTimeout = 0;
    };

    NotificationListener();
    ~NotificationListener() override;

    const std::vector<Notification>& received() const { return received_; }

public slots:
    // The server side of org.freedesktop.Notifications, called over the bus.
    Q_SCRIPTABLE quint32 Notify(const QString& appName, quint32 replacesId, const QString& appIcon,
                                const QString& summary, const QString& body, const QStringList& actions,
                                const QVariantMap& hints, qint32 expireTimeout);
    Q_SCRIPTABLE QStringList GetCapabilities() const;
    Q_SCRIPTABLE QString GetServerInformation(QString& vendor, QString& version, QString& protocolVersion) const;

private:
    OwnBusConnection connection_;
    std::vector<Notification> received_;
};

} // namespace ostrel::test
