#pragma once

#include <QFutureWatcher>
#include <QImage>
#include <QQuickImageResponse>

namespace ostrel::hub {

// One answer of the cached image provider: an image at once, or one that a worker is making; a
// null image when there is none.
// The answer owns the watcher of that work, so an answer QML has dropped simply never hears of
// the result.
class CachedImageResponse : public QQuickImageResponse {
    Q_OBJECT
public:
    explicit CachedImageResponse(QImage ready);
    explicit CachedImageResponse(QFuture<QImage> work);

    QQuickTextureFactory* textureFactory() const override;

private:
    void deliver(QImage image);

    QImage image_;
    QFutureWatcher<QImage> watcher_;
};

} // namespace ostrel::hub
