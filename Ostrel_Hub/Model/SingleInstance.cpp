#include "Model/SingleInstance.h"

#include "Util/Log.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>
#include <utility>

namespace ostrel::hub {

SingleInstance::SingleInstance(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus)) {}

SingleInstance::~SingleInstance() {
    if (owned_)
        bus_.interface()->unregisterService(serviceName);
    if (exported_)
        bus_.unregisterObject(objectPath);
}

SingleInstance::Claim SingleInstance::claim() {
    if (!bus_.isConnected() || bus_.interface() == nullptr)
        return Claim::noBus;
    if (!exported_) {
        exported_ = bus_.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots);
        if (!exported_) {
            Log::error(Log::Category::launch,
                       "cannot answer on the session bus: " + bus_.lastError().message().toStdString());
            return Claim::noBus;
        }
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus_.interface()->registerService(
        serviceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        Log::error(Log::Category::launch,
                   "cannot ask for the hub's bus name: " + reply.error().message().toStdString());
        return Claim::noBus;
    }
    owned_ = reply.value() == QDBusConnectionInterface::ServiceRegistered;
    return owned_ ? Claim::owned : Claim::taken;
}

bool SingleInstance::handOver(QDBusConnection bus, const QString& request, std::chrono::milliseconds limit) {
    auto call = QDBusMessage::createMethodCall(serviceName, objectPath, interfaceName,
                                               request.isEmpty() ? QStringLiteral("Activate") : QStringLiteral("Open"));
    if (!request.isEmpty())
        call << request;
    const auto reply = bus.call(call, QDBus::Block, static_cast<int>(limit.count()));
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    Log::error(Log::Category::launch, "the running hub did not take the request: " + reply.errorName().toStdString() +
                                          " " + reply.errorMessage().toStdString());
    return false;
}

void SingleInstance::Open(const QString& request) {
    if (request.size() > maxRequestLength) {
        if (calledFromDBus())
            sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("The request is too long."));
        return;
    }
    emit openRequested(request);
    emit activationRequested();
}

void SingleInstance::Activate() {
    emit activationRequested();
}

} // namespace ostrel::hub
