#include "Views/CachedImageResponse.h"

namespace ostrel::hub {

CachedImageResponse::CachedImageResponse(QImage ready) {
    deliver(std::move(ready));
}

CachedImageResponse::CachedImageResponse(QFuture<QImage> work) {
    connect(&watcher_, &QFutureWatcher<QImage>::finished, this, [this] { deliver(watcher_.result()); });
    watcher_.setFuture(std::move(work));
}

QImage CachedImageResponse::nothing() {
    QImage clear(1, 1, QImage::Format_ARGB32_Premultiplied);
    clear.fill(Qt::transparent);
    return clear;
}

void CachedImageResponse::deliver(QImage image) {
    image_ = image.isNull() ? nothing() : std::move(image);
    emit finished();
}

QQuickTextureFactory* CachedImageResponse::textureFactory() const {
    return QQuickTextureFactory::textureFactoryForImage(image_);
}

} // namespace ostrel::hub
