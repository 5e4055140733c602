#pragma once

#include "Catalog/ImageDataCache.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QUrl>
#include <memory>
#include <thread>

namespace ostrel::hub {

class AppModel;

// Readies a QML engine for the hub's screens: the image providers and the types the screens
// name. The app and the screen tests prepare their engines through this one function.
// `images` feeds "image://cached/…"; without it every cached image keeps its placeholder.
void prepareEngine(QQmlEngine& engine, std::shared_ptr<ImageDataCache> images);

// Reads the desktop's fonts on another thread, so that the first text of the window finds the
// font database ready instead of reading it then. Call once the application object exists.
std::jthread readFontsAhead();

// Starts compiling `screen` on the engine's loader thread, so that the first time it opens it is
// only built, not compiled then. The compiled type stays cached while the component lives.
std::unique_ptr<QQmlComponent> compileAhead(QQmlEngine& engine, const QUrl& screen);

} // namespace ostrel::hub
