#include "Model/IconPalette.h"

#include "Model/DecodedImage.h"
#include "Model/Worker.h"
#include "Util/Url.h"

#include <QPointer>
#include <optional>

namespace ostrel::hub {
namespace {

std::optional<Url> parsed(const QString& text) {
    try {
        return Url(text.toStdString());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

IconPalette::IconPalette(std::shared_ptr<ImageDataCache> images, HostPolicy policy, QObject* parent)
    : QObject(parent), images_(std::move(images)), policy_(std::move(policy)) {}

void IconPalette::load(const QString& key, const QString& url) {
    if (pending_.contains(key) || !images_)
        return;
    const auto address = parsed(url);
    if (!address || !policy_.allowsImage(*address))
        return;
    pending_.insert(key);
    emit pendingChanged();
    compute(key, *address);
}

QColor IconPalette::colorFor(const QString& key) const {
    return colors_.value(key).value<QColor>();
}

QColor IconPalette::averageColor(const QImage& image) {
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    double red = 0, green = 0, blue = 0, coverage = 0;
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            red += qRed(line[x]);
            green += qGreen(line[x]);
            blue += qBlue(line[x]);
            coverage += qAlpha(line[x]);
        }
    }
    if (coverage <= 0)
        return {};
    // Premultiplied sums over the total coverage: the colour the visible pixels average to.
    auto channel = [&](double sum) { return qBound(0, qRound(sum * 255.0 / coverage), 255); };
    return QColor(channel(red), channel(green), channel(blue));
}

QCoro::Task<> IconPalette::compute(QString key, Url url) {
    QPointer self(this);
    auto call = onWorker([images = images_, url] {
        const auto bytes = images->data(url);
        if (!bytes)
            return QColor();
        const auto data = QByteArray::fromRawData(bytes->data(), qsizetype(bytes->size()));
        return averageColor(DecodedImage::decode(data, DecodedImage::maxSide));
    });
    QColor color;
    try {
        color = co_await std::move(call);
    } catch (const std::exception&) {
        color = QColor(); // no colour; the screens keep their plain tint
    }
    if (!self)
        co_return;
    pending_.remove(key);
    if (color.isValid()) {
        colors_.insert(key, color);
        ++revision_;
        emit colorsChanged();
    }
    emit pendingChanged();
}

} // namespace ostrel::hub
