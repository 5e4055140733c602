#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <QtQml/qqmlregistration.h>

namespace ostrel::hub {

class AppModel;

// The hosts store and account traffic may go to, from the service configuration the given
// app model runs on, for the screens that state them (Security).
class ServiceHosts : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject* hub READ hub WRITE setHub NOTIFY hubChanged)
    Q_PROPERTY(QString storeApiHost READ storeApiHost NOTIFY hubChanged)
    Q_PROPERTY(QString identityApiHost READ identityApiHost NOTIFY hubChanged)

public:
    explicit ServiceHosts(QObject* parent = nullptr);

    QObject* hub() const;
    void setHub(QObject* hub);
    // Empty while no app model is set.
    QString storeApiHost() const;
    QString identityApiHost() const;

signals:
    void hubChanged();

private:
    QPointer<AppModel> model_;
};

} // namespace ostrel::hub
