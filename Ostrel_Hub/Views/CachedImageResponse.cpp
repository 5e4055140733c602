#include "Views/CachedImageResponse.h"

namespace ostrel::hub {

CachedImageResponse::CachedImageResponse(QImage ready) {
    deliver(std::move(ready));
}

CachedImageResponse::CachedImageResponse(QFuture<QImage> work) {
    connect(&watcher_, &QFutureWatcher<QImage>::finished, this, [this] { deliver(watcher_.result()); });
    watcher_.setFuture(std::move(work));
}

void CachedImageResponse::deliver(QImage image) {
    image_ = std::move(image);
    emit finished();
}

// A null image gives no texture, and QML an empty image: no error string, so nothing is logged.
QQuickTextureFactory* CachedImageResponse::textureFactory() const {
    return QQuickTextureFactory::textureFactoryForImage(image_);
}

} // namespace ostrel::hub
