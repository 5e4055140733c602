#include "Model/DecodedImage.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <algorithm>
#include <cmath>
#include <mutex>
#include <shared_mutex>

namespace ostrel::hub {
namespace {

// Image plug-ins go with the application object, while decodes run on worker threads that may
// outlive it (a download finishing as the app quits). The application's end waits for the
// decodes under way, and none starts after it.
std::shared_mutex decoding;
bool applicationGone = false; // guarded by `decoding`

void stopDecodingWithTheApplication() {
    static std::once_flag once;
    std::call_once(once, [] {
        qAddPostRoutine([] {
            std::unique_lock lock(decoding);
            applicationGone = true;
        });
    });
}

} // namespace

bool DecodedImage::acceptable(QSize declared) {
    return declared.width() > 0 && declared.height() > 0 && declared.width() <= maxSide &&
           declared.height() <= maxSide && qint64{declared.width()} * declared.height() <= maxArea;
}

QSize DecodedImage::thumbnailSize(QSize full, int maxPixels) {
    const int longer = std::max(full.width(), full.height());
    if (maxPixels <= 0 || longer <= maxPixels)
        return full;
    const double scale = double(maxPixels) / longer;
    auto side = [&](int length) { return std::max(1, int(std::lround(length * scale))); };
    return {side(full.width()), side(full.height())};
}

QImage DecodedImage::decode(const QByteArray& bytes, int maxPixels) {
    stopDecodingWithTheApplication();
    std::shared_lock lock(decoding);
    if (applicationGone)
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    if (!reader.canRead() || !acceptable(reader.size()))
        return {};
    QImage full = reader.read(); // null when the pixels are broken; stays null below
    // Rotation by the recorded orientation has already happened; a quarter turn swaps the
    // sides, so the thumbnail is sized from the image as it will be shown.
    const QSize size = thumbnailSize(full.size(), maxPixels);
    QImage thumbnail =
        size == full.size() ? std::move(full) : full.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return thumbnail.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace ostrel::hub
