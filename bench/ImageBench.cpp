// Product images for the screens: decoding a store icon into a tile's thumbnail, and showing an
// image decoded before.
#include "Model/DecodedImage.h"
#include "Model/ImageMemory.h"

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

using ostrel::hub::DecodedImage;
using ostrel::hub::ImageMemory;

// A 1024 × 1024 icon with a gradient and shapes, so the PNG is not trivially compressible.
QByteArray iconPng() {
    QImage icon(1024, 1024, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    QLinearGradient gradient(0, 0, 1024, 1024);
    gradient.setColorAt(0, QColor(0x5B, 0x55, 0xE0));
    gradient.setColorAt(1, QColor(0xFF, 0x8A, 0x3D));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(gradient);
    painter.drawRoundedRect(32, 32, 960, 960, 200, 200);
    painter.setBrush(Qt::white);
    painter.drawEllipse(312, 312, 400, 400);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    icon.save(&buffer, "PNG");
    return bytes;
}

void DecodeIconThumbnail(benchmark::State& state) {
    const QByteArray bytes = iconPng();
    for (auto _ : state) {
        QImage thumbnail = DecodedImage::decode(bytes, 256);
        benchmark::DoNotOptimize(thumbnail.constBits());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(DecodeIconThumbnail)->Unit(benchmark::kMillisecond);

void ImageMemoryHit(benchmark::State& state) {
    ImageMemory memory;
    const QImage thumbnail = DecodedImage::decode(iconPng(), 256);
    for (int n = 0; n < int(ImageMemory::standardLimit); ++n)
        memory.store(QStringLiteral("https://ostrel.test/icons/%1.png").arg(n), 256, thumbnail);
    const QString address = QStringLiteral("https://ostrel.test/icons/117.png");
    for (auto _ : state) {
        QImage hit = memory.find(address, 256);
        benchmark::DoNotOptimize(hit);
    }
}
BENCHMARK(ImageMemoryHit)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
