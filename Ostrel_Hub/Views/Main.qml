import QtQuick
import QtQuick.Controls.Basic
import Ostrel.Hub

// The one main window, titled "Ostrel Hub".
ApplicationWindow {
    id: window
    property var hub
    title: "Ostrel Hub"
    minimumWidth: 980
    minimumHeight: 640
    width: 1200
    height: 780
    color: Theme.window
    font.family: Theme.fontFamily

    RootView {
        anchors.fill: parent
        hub: window.hub
    }
}
