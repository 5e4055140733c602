#pragma once

#include <QQuickImageProvider>

namespace ostrel::hub {

// "image://icon/<name>?color=<colour>": a symbolic icon of the freedesktop.org naming scheme,
// tinted. The bundled set wins so that every machine looks the same; other names come from
// the desktop's icon theme. Rendered at the size asked for, so icons stay sharp at any scale.
class IconProvider : public QQuickImageProvider {
public:
    IconProvider();
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

    // Where the bundled icon of `name` lives in the resources (it may not exist).
    static QString bundledPath(const QString& name);
};

} // namespace ostrel::hub
