#include "Views/Appearance.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <optional>

namespace ostrel::hub {
namespace {

std::optional<bool> forced;

// The settings portal's colour scheme: 1 prefers dark, 2 prefers light, 0 has no preference.
std::optional<bool> desktopPrefersDark() {
    auto call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("Read"));
    call << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme");
    auto reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 300);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    auto value = reply.arguments().constFirst().value<QDBusVariant>().variant();
    // The portal wraps the value in a second variant.
    if (value.canConvert<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    bool ok = false;
    auto scheme = value.toUInt(&ok);
    if (!ok || scheme == 0)
        return std::nullopt;
    return scheme == 1;
}

} // namespace

Appearance::Appearance(QObject* parent) : QObject(parent) {
    dark_ = forced ? *forced : desktopPrefersDark().value_or(true);
}

void Appearance::setDark(bool dark) {
    if (dark == dark_)
        return;
    dark_ = dark;
    emit darkChanged();
}

void Appearance::force(bool dark) {
    forced = dark;
}

} // namespace ostrel::hub
