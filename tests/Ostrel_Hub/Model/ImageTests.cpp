// Product images for the screens: decoding bytes into bounded thumbnails, the table of decoded
// images, and the icon palette computing colours from icons served over real HTTPS.
#include "CatalogTestServer.h"
#include "EventLoop.h"
#include "Model/DecodedImage.h"
#include "Model/IconPalette.h"
#include "Model/ImageMemory.h"

#include <QBuffer>
#include <QImageWriter>
#include <QMutex>
#include <QPainter>
#include <QtEndian>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

using test::CatalogTestServer;

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return bytes;
}

QImage filled(QSize size, QColor color, QImage::Format format = QImage::Format_RGB32) {
    QImage image(size, format);
    image.fill(color);
    return image;
}

// Left half red, right half blue.
QImage halves(QSize size) {
    QImage image = filled(size, Qt::red);
    QPainter(&image).fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height(), Qt::blue);
    return image;
}

// A JPEG whose metadata says "rotate a quarter turn clockwise to show" (orientation 6).
QByteArray jpegTurnedAQuarter(const QImage& image) {
    const QByteArray jpeg = encoded(image, "JPEG");
    // Exif in big-endian TIFF form: one directory with the one Orientation entry.
    QByteArray tiff("MM\0\x2A\0\0\0\x08", 8);
    tiff += QByteArray("\0\x01", 2);                              // one entry
    tiff += QByteArray("\x01\x12\0\x03\0\0\0\x01\0\x06\0\0", 12); // Orientation, SHORT, 1, 6
    tiff += QByteArray(4, '\0');                                  // no next directory
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    const quint16 length = qToBigEndian<quint16>(quint16(payload.size() + 2));
    segment += QByteArray(reinterpret_cast<const char*>(&length), 2) + payload;
    return jpeg.left(2) + segment + jpeg.mid(2); // right after the start-of-image marker
}

quint32 crc32(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray pngChunk(const char* type, const QByteArray& data) {
    const quint32 length = qToBigEndian<quint32>(quint32(data.size()));
    const QByteArray body = QByteArray(type, 4) + data;
    const quint32 crc = qToBigEndian<quint32>(crc32(body));
    return QByteArray(reinterpret_cast<const char*>(&length), 4) + body +
           QByteArray(reinterpret_cast<const char*>(&crc), 4);
}

// A PNG declaring a width × height grey image, with a few bytes where its pixels would be.
QByteArray pngDeclaring(quint32 width, quint32 height) {
    const quint32 w = qToBigEndian(width), h = qToBigEndian(height);
    QByteArray header =
        QByteArray(reinterpret_cast<const char*>(&w), 4) + QByteArray(reinterpret_cast<const char*>(&h), 4);
    header += QByteArray("\x08\x00\x00\x00\x00", 5); // 8-bit grey, no interlace
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", QByteArray(16, 'x')) +
           pngChunk("IEND", {});
}

// Warnings logged while a check runs.
class LoggedWarnings {
public:
    LoggedWarnings() { previous_ = qInstallMessageHandler(&LoggedWarnings::record); }
    ~LoggedWarnings() { qInstallMessageHandler(previous_); }
    LoggedWarnings(const LoggedWarnings&) = delete;
    LoggedWarnings& operator=(const LoggedWarnings&) = delete;
    static QStringList take() {
        QMutexLocker guard(&lock());
        return std::exchange(logged(), {});
    }

private:
    static QMutex& lock() {
        static QMutex mutex;
        return mutex;
    }
    static QStringList& logged() {
        static QStringList messages;
        return messages;
    }
    static void record(QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtDebugMsg || type == QtInfoMsg)
            return;
        QMutexLocker guard(&lock());
        logged() << message;
    }
    QtMessageHandler previous_;
};

TEST(DecodedImage, MakesBoundedThumbnailsFromTheFullImage) {
    const auto wide = DecodedImage::decode(encoded(halves({1024, 512}), "PNG"), 256);
    EXPECT_EQ(wide.size(), QSize(256, 128));
    // Made from the whole image: the left edge stays red and the right edge blue.
    EXPECT_EQ(wide.pixelColor(0, 64), QColor(Qt::red));
    EXPECT_EQ(wide.pixelColor(255, 64), QColor(Qt::blue));

    const auto tall = DecodedImage::decode(encoded(filled({300, 900}, Qt::green), "PNG"), 300);
    EXPECT_EQ(tall.size(), QSize(100, 300));
    // Exactly at the bound already: kept as it is; never enlarged.
    EXPECT_EQ(DecodedImage::decode(encoded(filled({256, 100}, Qt::green), "PNG"), 256).size(), QSize(256, 100));
    EXPECT_EQ(DecodedImage::decode(encoded(filled({40, 30}, Qt::green), "PNG"), 256).size(), QSize(40, 30));
    // One pixel over the bound is brought down to it.
    EXPECT_EQ(DecodedImage::decode(encoded(filled({257, 100}, Qt::green), "PNG"), 256).size(), QSize(256, 100));
}

TEST(DecodedImage, AppliesTheRecordedOrientation) {
    const auto plain = encoded(halves({200, 100}), "JPEG");
    EXPECT_EQ(DecodedImage::decode(plain, 64).size(), QSize(64, 32));
    const auto turned = DecodedImage::decode(jpegTurnedAQuarter(halves({200, 100})), 64);
    ASSERT_EQ(turned.size(), QSize(32, 64));
    // A quarter turn clockwise puts the red left half on top.
    EXPECT_GT(turned.pixelColor(16, 4).red(), 200);
    EXPECT_GT(turned.pixelColor(16, 60).blue(), 200);
}

TEST(DecodedImage, GivesNothingForBytesThatAreNotAnImage) {
    EXPECT_TRUE(DecodedImage::decode(QByteArray("<html>Not found</html>"), 256).isNull());
    EXPECT_TRUE(DecodedImage::decode(QByteArray(), 256).isNull());
    // A real PNG cut short.
    EXPECT_TRUE(DecodedImage::decode(encoded(halves({64, 64}), "PNG").left(40), 256).isNull());
}

TEST(DecodedImage, RefusesAbsurdSizesBeforeDecoding) {
    // Sides: exactly the bound decodes, one pixel more is refused though it is a valid image.
    const auto longest = DecodedImage::decode(encoded(filled({DecodedImage::maxSide, 1}, Qt::gray), "PNG"), 256);
    EXPECT_EQ(longest.size(), QSize(256, 1));
    EXPECT_TRUE(DecodedImage::decode(encoded(filled({DecodedImage::maxSide + 1, 1}, Qt::gray), "PNG"), 256).isNull());
    EXPECT_TRUE(DecodedImage::decode(encoded(filled({1, DecodedImage::maxSide + 1}, Qt::gray), "PNG"), 256).isNull());
    // Area: exactly 64 Mpx is accepted, one row more is not.
    EXPECT_TRUE(DecodedImage::acceptable({8192, 8192}));
    EXPECT_FALSE(DecodedImage::acceptable({8192, 8193}));
    EXPECT_FALSE(DecodedImage::acceptable({0, 10}));

    // A few bytes declaring 60000 × 60000 pixels: refused by the hub's own bound, before the
    // image library ever tries (and warns about) an allocation of that size.
    LoggedWarnings warnings;
    EXPECT_TRUE(DecodedImage::decode(pngDeclaring(60000, 60000), 256).isNull());
    const auto logged = LoggedWarnings::take();
    EXPECT_TRUE(logged.isEmpty()) << logged.join(u'\n').toStdString();
}

TEST(ImageMemory, HoldsTwoHundredImagesAndDropsTheLeastRecentlyUsed) {
    ImageMemory memory;
    const QImage image = filled({4, 4}, Qt::red);
    auto address = [](int n) { return QStringLiteral("https://ostrel.test/%1.png").arg(n); };
    for (int n = 0; n < 200; ++n)
        memory.store(address(n), 256, image);
    EXPECT_EQ(memory.size(), 200u);
    for (int n = 0; n < 200; ++n)
        EXPECT_TRUE(memory.contains(address(n), 256)) << n;
    // Using the oldest makes the second one the least recently used.
    EXPECT_FALSE(memory.find(address(0), 256).isNull());
    memory.store(address(200), 256, image);
    EXPECT_EQ(memory.size(), 200u);
    EXPECT_TRUE(memory.contains(address(0), 256));
    EXPECT_FALSE(memory.contains(address(1), 256));
    EXPECT_TRUE(memory.contains(address(200), 256));
    // A thumbnail of another size is another entry.
    EXPECT_FALSE(memory.contains(address(2), 64));
    EXPECT_TRUE(memory.find(address(2), 64).isNull());
    // Storing an address again replaces it and adds nothing.
    memory.store(address(2), 256, filled({8, 8}, Qt::blue));
    EXPECT_EQ(memory.size(), 200u);
    EXPECT_EQ(memory.find(address(2), 256).size(), QSize(8, 8));
}

// Icons served over HTTPS on 127.0.0.1 under the store's real image hosts.
struct ServedIcons {
    CatalogTestServer server;
    std::shared_ptr<ImageDataCache> cache;

    ServedIcons() {
        serve("/icons/halves.png", encoded(halves({64, 64}), "PNG"));
        QImage redOnClear = filled({16, 16}, Qt::transparent, QImage::Format_ARGB32);
        QPainter(&redOnClear).fillRect(0, 0, 8, 16, Qt::red);
        serve("/icons/red-on-clear.png", encoded(redOnClear, "PNG"));
        serve("/icons/clear.png", encoded(filled({16, 16}, Qt::transparent, QImage::Format_ARGB32), "PNG"));
        server.start();
        cache = server.memoryImageCache();
    }
    void serve(const std::string& path, const QByteArray& bytes) {
        const std::string body = bytes.toStdString();
        server.routes().Get(path, [body](const httplib::Request&, httplib::Response& response) {
            response.set_content(body, "image/png");
        });
    }
    static QString url(const char* host, const char* path) {
        return QString::fromStdString(CatalogTestServer::url(host, path));
    }
};

TEST(IconPalette, StoresTheAverageColourOfAnIcon) {
    ServedIcons icons;
    IconPalette palette(icons.cache, icons.server.config().hostPolicy());
    int changes = 0;
    QObject::connect(&palette, &IconPalette::colorsChanged, [&] { ++changes; });

    palette.load(QStringLiteral("halves"), ServedIcons::url(CatalogTestServer::assets, "/icons/halves.png"));
    EXPECT_EQ(palette.pending(), QStringList{QStringLiteral("halves")});
    ASSERT_TRUE(test::runUntil([&] { return palette.pending().isEmpty(); }));

    // Half red, half blue: purple.
    const QColor color = palette.colorFor(QStringLiteral("halves"));
    ASSERT_TRUE(color.isValid());
    EXPECT_NEAR(color.red(), 128, 1);
    EXPECT_EQ(color.green(), 0);
    EXPECT_NEAR(color.blue(), 128, 1);
    EXPECT_EQ(palette.colors().value(QStringLiteral("halves")).value<QColor>(), color);
    EXPECT_EQ(changes, 1);

    // Clear pixels are no colour: only what shows is averaged.
    palette.load(QStringLiteral("red"), ServedIcons::url(CatalogTestServer::web, "/icons/red-on-clear.png"));
    ASSERT_TRUE(test::runUntil([&] { return palette.pending().isEmpty(); }));
    EXPECT_EQ(palette.colorFor(QStringLiteral("red")), QColor(Qt::red));
    changes = 1;

    // A fully clear icon has no colour; an address that serves nothing neither.
    palette.load(QStringLiteral("clear"), ServedIcons::url(CatalogTestServer::web, "/icons/clear.png"));
    palette.load(QStringLiteral("gone"), ServedIcons::url(CatalogTestServer::web, "/icons/gone.png"));
    ASSERT_TRUE(test::runUntil([&] { return palette.pending().isEmpty(); }));
    EXPECT_FALSE(palette.colorFor(QStringLiteral("clear")).isValid());
    EXPECT_FALSE(palette.colorFor(QStringLiteral("gone")).isValid());
    EXPECT_EQ(changes, 1);
}

TEST(IconPalette, ComputesAKeyOnceWhileItIsPending) {
    ServedIcons icons;
    IconPalette palette(icons.cache, icons.server.config().hostPolicy());
    int computed = 0;
    QObject::connect(&palette, &IconPalette::colorsChanged, [&] { ++computed; });
    const auto address = ServedIcons::url(CatalogTestServer::assets, "/icons/halves.png");
    for (int i = 0; i < 5; ++i)
        palette.load(QStringLiteral("halves"), address);
    EXPECT_EQ(palette.pending(), QStringList{QStringLiteral("halves")});
    ASSERT_TRUE(test::runUntil([&] { return palette.pending().isEmpty(); }));
    test::settle();
    EXPECT_EQ(computed, 1);
    EXPECT_EQ(icons.server.requests(CatalogTestServer::assets, "/icons/halves.png"), 1);
    EXPECT_TRUE(palette.colorFor(QStringLiteral("halves")).isValid());
}

TEST(IconPalette, LeavesAddressesImagesMayNotComeFromAlone) {
    ServedIcons icons;
    IconPalette palette(icons.cache, icons.server.config().hostPolicy());
    for (const char* host : {CatalogTestServer::stranger, CatalogTestServer::subdomain})
        palette.load(QString::fromLatin1(host), ServedIcons::url(host, "/icons/halves.png"));
    palette.load(QStringLiteral("plain"), QStringLiteral("http://ostrel.test/icons/halves.png"));
    palette.load(QStringLiteral("nonsense"), QStringLiteral("not an address"));
    EXPECT_TRUE(palette.pending().isEmpty());
    test::settle();
    EXPECT_TRUE(palette.colors().isEmpty());
    EXPECT_EQ(icons.server.requests(), 0);

    // Without an image cache nothing is ever computed.
    IconPalette withoutImages(nullptr, icons.server.config().hostPolicy());
    withoutImages.load(QStringLiteral("halves"), ServedIcons::url(CatalogTestServer::assets, "/icons/halves.png"));
    EXPECT_TRUE(withoutImages.pending().isEmpty());
}

} // namespace
} // namespace ostrel::hub
