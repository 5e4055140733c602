#pragma once

#include "Catalog/ImageDataCache.h"

#include <QImage>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSize>
#include <QStringList>
#include <QVariantMap>
#include <memory>

namespace ostrel::test {

// Loads one of the hub's screens into an off-screen window with the app's QML engine set-up,
// and records every warning logged meanwhile (QML's own included) so a test can fail on them.
class ScreenHarness {
public:
    // `images` serves "image://cached/…"; without it cached images keep their placeholders.
    explicit ScreenHarness(std::shared_ptr<ImageDataCache> images = nullptr);
    ~ScreenHarness();
    ScreenHarness(const ScreenHarness&) = delete;
    ScreenHarness& operator=(const ScreenHarness&) = delete;

    // The screen file of the module (e.g. "DiscoverView.qml") with its properties, sized to
    // fill a shown window of `size`. Null, with a warning recorded, when it does not load.
    QQuickItem* load(const QString& file, const QVariantMap& properties, QSize size = {1440, 900});

    QQmlEngine& engine() { return *engine_; }
    QQuickWindow& window() { return *window_; }
    QQuickItem* root() const { return root_; }
    // Warnings logged since the harness was made or last cleared.
    QStringList warnings() const;
    void clearWarnings();

    // Lets bindings, loaders and animations run for `ms`, then renders a frame.
    void settle(int ms = 50);
    QImage grab();

    // Visible items a user can act on (buttons, fields, focusable items) without an
    // accessible name, each described by its type and place.
    QStringList unnamedInteractiveItems() const;
    // The visible text items and accessible names on screen, to look for a screen's words.
    QStringList visibleTexts() const;
    bool shows(const QString& text) const;
    // The first visible item whose accessible name is `name`.
    QQuickItem* findByName(const QString& name) const;
    // Clicks the middle of an item.
    void click(QQuickItem* item);
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

private:
    std::unique_ptr<QQmlEngine> engine_;
    std::unique_ptr<QQuickWindow> window_;
    QQuickItem* root_ = nullptr; // owned by the window's content item
};

} // namespace ostrel::test
