#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace ostrel::hub {

// Image bytes turned into a thumbnail ready to draw: made from the full image, with the
// orientation its metadata records applied, decoded completely here (never lazily on the GUI
// thread) and no larger than asked. Bytes that are not an image, or that declare a size no
// product image has, give a null image; the size is checked before anything is decoded, so a
// small file cannot make the hub allocate gigabytes.
class DecodedImage {
public:
    // The largest image accepted: at most this many pixels a side, and at most maxArea pixels.
    static constexpr int maxSide = 16384;
    static constexpr qint64 maxArea = qint64{64} * 1024 * 1024;

    // A thumbnail whose longer side is at most `maxPixels` (an image already that small keeps
    // its size), or a null image.
    static QImage decode(const QByteArray& bytes, int maxPixels);

    // Whether a declared size may be decoded.
    static bool acceptable(QSize declared);
    // The size of a thumbnail of `full` whose longer side is at most `maxPixels`.
    static QSize thumbnailSize(QSize full, int maxPixels);
};

} // namespace ostrel::hub
