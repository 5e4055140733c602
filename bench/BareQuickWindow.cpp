// The floor for the hub's launch: a bare Qt Quick window with a grid of 20 tiles, measured the
// way the hub measures itself (process start to the first frame on screen). Prints
// "launch-to-first-content-ms <n> bare" and quits. Run by bench/launch.sh.
#include "Model/LaunchClock.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <memory>

namespace {

constexpr const char* bareWindow = R"(
import QtQuick
Window {
    width: 1200; height: 780; visible: true; color: "#1B1B1F"
    GridView {
        anchors.fill: parent; anchors.margins: 24
        cellWidth: 196; cellHeight: 236
        model: 20
        delegate: Rectangle {
            width: 180; height: 220; radius: 10; color: "#2A2A30"
            Rectangle { x: 16; y: 16; width: 148; height: 148; radius: 24; color: Qt.hsla(index / 20, 0.6, 0.55, 1) }
            Text { x: 16; y: 176; text: "Product " + (index + 1); color: "#F2F2F5"; font.pixelSize: 14 }
        }
    }
}
)";

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    ostrel::hub::LaunchClock clock(ostrel::hub::LaunchClock::Options{.measure = true});
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(bareWindow, QUrl());
    std::unique_ptr<QObject> root(component.isReady() ? component.create() : nullptr);
    auto* window = qobject_cast<QQuickWindow*>(root.get());
    if (!window)
        return 1;
    QObject::connect(window, &QQuickWindow::frameSwapped, &clock,
                     [&clock] { clock.firstContent(QStringLiteral("bare")); });
    return QGuiApplication::exec();
}
