#include "LauncherEntryRecorder.h"

#include <QDBusMessage>
#include <stdexcept>

namespace ostrel::test {

LauncherEntryRecorder::LauncherEntryRecorder() {
    if (!connection_.bus().connect({}, {}, QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                   QStringLiteral("Update"), this, SLOT(record(QString, QVariantMap))))
        throw std::runtime_error("could not listen for launcher-entry updates");
    // The match rule goes out without waiting; make sure the bus has it before anyone signals.
    connection_.roundTrip();
}

void LauncherEntryRecorder::record(const QString& appUri, const QVariantMap& properties) {
    received_.push_back({message().path(), appUri, properties});
}

} // namespace ostrel::test
