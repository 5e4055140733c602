#pragma once

#include "OwnBusConnection.h"

#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <vector>

namespace ostrel::test {

// Listens, like a dock would, for the Unity launcher-entry "Update" signal from anyone on the
// session bus and remembers each one.
class LauncherEntryRecorder : public QObject, protected QDBusContext {
    Q_OBJECT

public:
    struct Update {
        QString path;
        QString appUri;
        QVariantMap properties;
    };

    // Returns once the bus delivers the signal to this recorder.
    LauncherEntryRecorder();

    const std::vector<Update>& received() const { return received_; }

private slots:
    void record(const QString& appUri, const QVariantMap& properties);

private:
    OwnBusConnection connection_;
    std::vector<Update> received_;
};

} // namespace ostrel::test
