import QtQuick
import QtQuick.Window
import Ostrel.Hub

// The Settings window, one per app, made the first time it is asked for. Escape closes it.
Window {
    id: settings
    property var hub
    property var background: null
    property var updater: null
    property var beta: null

    title: "Settings"
    width: 560
    height: 660
    minimumWidth: 480
    minimumHeight: 420
    color: Theme.window

    SettingsView {
        id: view
        anchors.fill: parent
        hub: settings.hub
        background: settings.background
        updater: settings.updater
        beta: settings.beta
    }
    Shortcut {
        sequences: [StandardKey.Cancel]
        onActivated: settings.close()
    }
}
