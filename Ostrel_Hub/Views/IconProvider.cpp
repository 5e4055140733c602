#include "Views/IconProvider.h"

#include <QColor>
#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QSvgRenderer>
#include <QUrlQuery>

namespace ostrel::hub {
namespace {

constexpr int defaultSide = 16;
// Far larger than any icon on screen; a bad request cannot allocate more.
constexpr int maxSide = 1024;

QImage render(const QString& name, QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QSvgRenderer bundled(IconProvider::bundledPath(name));
    if (bundled.isValid()) {
        bundled.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
        return image;
    }
    auto themed = QIcon::fromTheme(name + QStringLiteral("-symbolic"), QIcon::fromTheme(name));
    if (!themed.isNull())
        painter.drawPixmap(0, 0, themed.pixmap(size));
    return image;
}

void tint(QImage& image, const QColor& color) {
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
}

} // namespace

IconProvider::IconProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}

QString IconProvider::bundledPath(const QString& name) {
    return QStringLiteral(":/Ostrel/Hub/icons/") + name + QStringLiteral(".svg");
}

QImage IconProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize) {
    auto query = id.indexOf(u'?');
    auto name = id.left(query);
    QColor color(query < 0 ? QString() : QUrlQuery(id.mid(query + 1)).queryItemValue(QStringLiteral("color")));
    auto side = [](int requested) { return requested > 0 ? std::min(requested, maxSide) : defaultSide; };
    QSize target(side(requestedSize.width()), side(requestedSize.height()));
    const auto key = id + u'@' + QString::number(target.width()) + u'x' + QString::number(target.height());
    QMutexLocker locked(&lock_);
    if (const auto* known = rendered_.object(key)) {
        if (size)
            *size = known->size();
        return *known;
    }
    auto image = render(name, target);
    if (color.isValid())
        tint(image, color);
    rendered_.insert(key, std::make_unique<QImage>(image).release()); // the cache owns it
    if (size)
        *size = image.size();
    return image;
}

} // namespace ostrel::hub
