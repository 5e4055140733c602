#pragma once

#include "Install/InstallRecord.h"

#include <QCoroTask>
#include <QDBusConnection>
#include <QUrl>
#include <functional>

namespace ostrel::hub {

// Shows installed products to the user through the desktop: opens an app, or shows a product's
// files selected in the file manager.
class Workspace {
public:
    // Hands a location to the desktop's default handler; false when nothing took it.
    using Opener = std::function<bool(const QUrl&)>;

    // The user's session bus and the desktop's default handler.
    Workspace();
    // Another bus (tests use a private one) and another way to open locations.
    Workspace(QDBusConnection bus, Opener opener);

    // Opens the first app of the record that is still on disk. True when one was handed over;
    // false when the record has no app left.
    QCoro::Task<bool> openApp(InstallRecord record) const;
    // Shows the record's items that are still on disk selected in the file manager; when the file
    // manager cannot be asked, opens the folder of the first of them instead. False when no item
    // is left or nothing could show them.
    QCoro::Task<bool> reveal(InstallRecord record) const;

    // The desktop's default handler (QDesktopServices).
    static bool openWithDesktop(const QUrl& location);

private:
    QDBusConnection bus_;
    Opener opener_;
};

} // namespace ostrel::hub
