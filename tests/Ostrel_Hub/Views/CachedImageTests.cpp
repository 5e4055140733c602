// Product images on screen: served over HTTPS on 127.0.0.1, decoded into thumbnails, and a
// placeholder for an image that is not there, all without a QML warning.
#include "CatalogTestServer.h"
#include "EventLoop.h"
#include "Model/IconPalette.h"
#include "ScreenHarness.h"

#include <QBuffer>
#include <QImage>
#include <cstdlib>

#include <gtest/gtest.h>

namespace ostrel::hub {
namespace {

using test::CatalogTestServer;

const QColor tint(0xFF, 0x00, 0xFF);
const QColor served(0x20, 0xA0, 0x40);

std::string png(QSize size, QColor color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

struct ServedImages {
    CatalogTestServer server;
    std::shared_ptr<ImageDataCache> cache;

    ServedImages() {
        const std::string wide = png({512, 256}, served);
        server.routes().Get("/shots/wide.png", [wide](const httplib::Request&, httplib::Response& response) {
            response.set_content(wide, "image/png");
        });
        server.start();
        cache = server.memoryImageCache();
    }
};

QVariantMap imageAt(const std::string& host, const std::string& path) {
    return {{QStringLiteral("url"), QString::fromStdString(CatalogTestServer::url(host, path))},
            {QStringLiteral("maxPixels"), 128},
            {QStringLiteral("tint"), tint}};
}

// The colour in the middle of the shown image.
QColor middle(test::ScreenHarness& screens) {
    const QImage frame = screens.grab();
    return frame.pixelColor(frame.width() / 2, frame.height() / 2);
}

// Equal but for the rounding of scaling and blending.
::testing::AssertionResult looksLike(QColor shown, QColor expected) {
    const bool close = std::abs(shown.red() - expected.red()) <= 2 && std::abs(shown.green() - expected.green()) <= 2 &&
                       std::abs(shown.blue() - expected.blue()) <= 2;
    if (close)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "shows " << shown.name().toStdString() << ", expected "
                                         << expected.name().toStdString();
}

bool answered(QQuickItem* image) {
    return image->property("status").toInt() != 0 && image->property("status").toInt() != 2; // not null or loading
}

TEST(CachedImage, ShowsAServedImageAsABoundedThumbnail) {
    ServedImages images;
    {
        test::ScreenHarness screens(images.cache);
        auto* image = screens.load(QStringLiteral("CachedImage.qml"),
                                   imageAt(CatalogTestServer::assets, "/shots/wide.png"), {256, 128});
        ASSERT_NE(image, nullptr);
        ASSERT_TRUE(test::runUntil([&] { return image->property("ready").toBool(); }));
        EXPECT_EQ(image->property("imageSize").toSizeF(), QSizeF(128, 64));
        EXPECT_FALSE(image->property("remembered").toBool());
        screens.settle(400); // past the fade-in
        EXPECT_TRUE(looksLike(middle(screens), served));
        EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
        EXPECT_TRUE(screens.unnamedInteractiveItems().isEmpty());
    }
    // Decoded once, the same image shows at once the next time, without fading in, from the
    // table of decoded images alone.
    test::ScreenHarness again;
    auto* second = again.load(QStringLiteral("CachedImage.qml"), imageAt(CatalogTestServer::assets, "/shots/wide.png"),
                              {256, 128});
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->property("remembered").toBool());
    ASSERT_TRUE(test::runUntil([&] { return second->property("ready").toBool(); }));
    again.settle(0);
    EXPECT_TRUE(looksLike(middle(again), served));
    EXPECT_EQ(images.server.requests(CatalogTestServer::assets, "/shots/wide.png"), 1);
    EXPECT_TRUE(again.warnings().isEmpty()) << again.warnings().join(u'\n').toStdString();
}

TEST(CachedImage, KeepsThePlaceholderWhenThereIsNoImage) {
    ServedImages images;
    test::ScreenHarness screens(images.cache);
    // Not on the server, not an image host, and not an address at all.
    for (const auto& properties :
         {imageAt(CatalogTestServer::web, "/shots/missing.png"),
          imageAt(CatalogTestServer::stranger, "/shots/wide.png"),
          QVariantMap{{QStringLiteral("url"), QStringLiteral("not an address")}, {QStringLiteral("tint"), tint}}}) {
        auto* image = screens.load(QStringLiteral("CachedImage.qml"), properties, {256, 128});
        ASSERT_NE(image, nullptr);
        ASSERT_TRUE(test::runUntil([&] { return answered(image); }))
            << properties.value("url").toString().toStdString();
        screens.settle(300);
        EXPECT_FALSE(image->property("ready").toBool());
        EXPECT_TRUE(looksLike(middle(screens), tint)) << properties.value("url").toString().toStdString();
        image->setVisible(false);
    }
    EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
}

// Without an image cache, an image not decoded before keeps its placeholder.
TEST(CachedImage, KeepsThePlaceholderWithoutAnImageCache) {
    test::ScreenHarness withoutImages;
    auto* image = withoutImages.load(QStringLiteral("CachedImage.qml"),
                                     imageAt(CatalogTestServer::assets, "/shots/never-decoded.png"), {256, 128});
    ASSERT_NE(image, nullptr);
    ASSERT_TRUE(test::runUntil([&] { return answered(image); }));
    withoutImages.settle(300);
    EXPECT_TRUE(looksLike(middle(withoutImages), tint));
    EXPECT_TRUE(withoutImages.warnings().isEmpty()) << withoutImages.warnings().join(u'\n').toStdString();
}

// A product icon's frame starts in the tint derived from its key and takes the icon's own colour
// once the palette has measured it.
TEST(ProductIcon, TakesItsTintFromTheIconOnceThePaletteHasIt) {
    ServedImages images;
    IconPalette palette(images.cache, images.server.config().hostPolicy());
    test::ScreenHarness screens(images.cache);
    const QString url = QString::fromStdString(CatalogTestServer::url(CatalogTestServer::assets, "/shots/wide.png"));
    auto* icon = screens.load(QStringLiteral("ProductIcon.qml"),
                              {{QStringLiteral("key"), QStringLiteral("violet-key")},
                               {QStringLiteral("iconUrl"), url},
                               {QStringLiteral("palette"), QVariant::fromValue(&palette)}},
                              {96, 96});
    ASSERT_NE(icon, nullptr);
    const auto hue = [&] { return icon->property("color").value<QColor>().hslHueF(); };
    const double derived = hue();
    EXPECT_GT(std::abs(derived - served.hslHueF()), 0.05) << "the key's own tint should differ from the icon's";
    ASSERT_TRUE(test::runUntil([&] { return palette.colorFor(QStringLiteral("violet-key")).isValid(); }));
    screens.settle(0);
    EXPECT_NEAR(hue(), served.hslHueF(), 0.01);
    EXPECT_TRUE(screens.warnings().isEmpty()) << screens.warnings().join(u'\n').toStdString();
}

} // namespace
} // namespace ostrel::hub
