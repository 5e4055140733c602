#include "Views/CachedImageProvider.h"

#include "Model/DecodedImage.h"
#include "Util/Url.h"
#include "Views/CachedImageResponse.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>
#include <mutex>
#include <optional>

namespace ostrel::hub {
namespace {

// A few downloads at once; more would only queue at the servers.
constexpr int imageThreads = 4;

// How long the application's end waits for the images under way; a download still running
// after that finishes quietly and is not decoded.
constexpr int finishingMilliseconds = 3000;

// Threads of the screens' images alone, shared by every engine: providers go with their
// engines, and a download under way must not hold an engine's teardown.
QThreadPool& imageThreadPool() {
    static QThreadPool pool;
    static std::once_flag once;
    std::call_once(once, [] {
        pool.setMaxThreadCount(imageThreads);
        qAddPostRoutine([] {
            pool.clear();
            pool.waitForDone(finishingMilliseconds);
        });
    });
    return pool;
}

std::optional<Url> parsed(const QString& text) {
    try {
        return Url(text.toStdString());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

QImage fetchAndDecode(ImageDataCache& images, ImageMemory& memory, const QString& address, int pixels) {
    const auto url = parsed(address);
    if (!url)
        return {};
    const auto bytes = images.data(*url);
    if (!bytes)
        return {};
    auto image = DecodedImage::decode(QByteArray::fromRawData(bytes->data(), qsizetype(bytes->size())), pixels);
    if (!image.isNull())
        memory.store(address, pixels, image);
    return image;
}

} // namespace

CachedImageProvider::CachedImageProvider(std::shared_ptr<ImageDataCache> images, ImageMemory& memory)
    : images_(std::move(images)), memory_(memory) {}

QString CachedImageProvider::addressOf(const QString& id) {
    return QUrl::fromPercentEncoding(id.toUtf8());
}

int CachedImageProvider::pixelsFor(const QSize& requestedSize) {
    const int longer = std::max(requestedSize.width(), requestedSize.height());
    return longer > 0 ? longer : standardPixels;
}

QQuickImageResponse* CachedImageProvider::requestImageResponse(const QString& id, const QSize& requestedSize) {
    const QString address = addressOf(id);
    const int pixels = pixelsFor(requestedSize);
    if (auto remembered = memory_.find(address, pixels); !remembered.isNull())
        return std::make_unique<CachedImageResponse>(std::move(remembered)).release();
    if (!images_)
        return std::make_unique<CachedImageResponse>(QImage()).release();
    // The work holds the cache alive on its own: the provider may go with its engine while a
    // download is still under way.
    auto work = QtConcurrent::run(&imageThreadPool(), [images = images_, memory = &memory_, address, pixels] {
        return fetchAndDecode(*images, *memory, address, pixels);
    });
    // QML takes ownership of every answer.
    return std::make_unique<CachedImageResponse>(std::move(work)).release();
}

} // namespace ostrel::hub
