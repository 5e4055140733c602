#pragma once

#include <QDBusConnection>
#include <optional>

namespace ostrel::hub {

// The count on the hub's launcher icon, announced with the Unity launcher-entry signal that
// docks and task bars (GNOME's dash extensions, KDE Plasma, Plank) listen to.
class LauncherBadge {
public:
    explicit LauncherBadge(QDBusConnection bus = QDBusConnection::sessionBus());

    // Shows the count when it is above zero and no badge otherwise. Announces only changes; the
    // first call always announces, clearing whatever an earlier run left.
    void setCount(int count);

private:
    QDBusConnection bus_;
    std::optional<int> announced_;
};

} // namespace ostrel::hub
