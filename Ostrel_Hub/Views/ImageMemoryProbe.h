#pragma once

#include "Model/ImageMemory.h"

#include <QObject>
#include <QString>

namespace ostrel::hub {

// Lets CachedImage.qml ask whether an image is already decoded, so that one shows at once
// instead of fading in. The QML singleton "CachedImages".
class ImageMemoryProbe : public QObject {
    Q_OBJECT
public:
    explicit ImageMemoryProbe(ImageMemory& memory, QObject* parent = nullptr) : QObject(parent), memory_(memory) {}

    Q_INVOKABLE bool remembered(const QString& address, int maxPixels) const {
        return memory_.contains(address, maxPixels);
    }

private:
    ImageMemory& memory_;
};

} // namespace ostrel::hub
