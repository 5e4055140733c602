#pragma once

#include <QCache>
#include <QImage>
#include <QMutex>
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

private:
    // Rendered icons by name, size and colour: the sidebar, toolbar and every tile ask for the
    // same few, and parsing an SVG for each would cost the first frame dearly.
    QCache<QString, QImage> rendered_{256};
    QMutex lock_; // Qt may ask from its loader threads
};

} // namespace ostrel::hub
