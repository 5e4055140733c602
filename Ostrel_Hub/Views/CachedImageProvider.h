#pragma once

#include "Catalog/ImageDataCache.h"
#include "Model/ImageMemory.h"

#include <QQuickAsyncImageProvider>
#include <memory>

namespace ostrel::hub {

// "image://cached/<percent-encoded address>": a product image as a thumbnail whose longer side
// is at most the requested size (256 when none is asked). Decoded images come from the memory
// table at once; otherwise the bytes come from the image cache and are decoded on threads of
// this provider's own, so a slow download never holds up the screens' other images.
//
// When there is no image the answer is an empty image, never an error: QML logs every failed
// image as a warning, and a missing product image is not one. CachedImage.qml shows its
// placeholder for an empty image.
class CachedImageProvider : public QQuickAsyncImageProvider {
public:
    static constexpr int standardPixels = 256;

    // `images` may be null: then only the memory table answers.
    CachedImageProvider(std::shared_ptr<ImageDataCache> images, ImageMemory& memory);
    QQuickImageResponse* requestImageResponse(const QString& id, const QSize& requestedSize) override;

    // The address a provider id names.
    static QString addressOf(const QString& id);
    static int pixelsFor(const QSize& requestedSize);

private:
    const std::shared_ptr<ImageDataCache> images_;
    ImageMemory& memory_;
};

} // namespace ostrel::hub
