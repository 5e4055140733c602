#include "Model/DesktopNotifier.h"

#include "Util/Log.h"

#include <QCoroDBusPendingCall>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>
#include <utility>

namespace ostrel::hub {
namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");
const QString appName = QStringLiteral("Ostrel Hub");
const QString appIcon = QStringLiteral("com.ostrel.hub");
// A server that has not answered by then is not going to show anything useful.
constexpr int replyTimeoutMs = 10'000;
// The server's own choice of how long the notification stays.
constexpr qint32 defaultExpiry = -1;

QDBusMessage notifyRequest(const QString& title, const QString& body) {
    auto request = QDBusMessage::createMethodCall(service, objectPath, service, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), appIcon}};
    request << appName << quint32(0) << appIcon << title << body << QStringList() << hints << defaultExpiry;
    return request;
}

void logRefusal(const QDBusMessage& reply) {
    // No notification server on this desktop is the one expected case; anything else is worth a look.
    const bool noServer = QDBusError(reply).type() == QDBusError::ServiceUnknown;
    const auto line =
        "notification not shown: " + reply.errorName().toStdString() + ": " + reply.errorMessage().toStdString();
    if (noServer)
        Log::info(Log::Category::launch, line);
    else
        Log::warning(Log::Category::launch, line);
}

// Takes everything by value: the notifier may be gone before the server answers.
QCoro::Task<std::optional<quint32>> post(QDBusConnection bus, QDBusMessage request) {
    if (!bus.isConnected()) {
        Log::info(Log::Category::launch, "notification not shown: no session bus");
        co_return std::nullopt;
    }
    const QDBusMessage reply = co_await bus.asyncCall(request, replyTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        logRefusal(reply);
        co_return std::nullopt;
    }
    co_return reply.arguments().value(0).toUInt();
}

} // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus) : bus_(std::move(bus)) {}

QCoro::Task<std::optional<quint32>> DesktopNotifier::notify(const QString& title, const QString& body) const {
    return post(bus_, notifyRequest(title, body));
}

} // namespace ostrel::hub
