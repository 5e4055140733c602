#pragma once

#include <QQmlEngine>

namespace ostrel::hub {

class AppModel;

// Readies a QML engine for the hub's screens: the image providers and the types the screens
// name. The app and the screen tests prepare their engines through this one function.
void prepareEngine(QQmlEngine& engine);

} // namespace ostrel::hub
