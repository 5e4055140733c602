import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import Ostrel.Hub

// A sheet over the main window: a rounded card in the middle, the window dimmed behind it.
// Escape closes it; the content decides what else does.
Popup {
    id: sheet
    property int preferredWidth: 520
    property int preferredHeight: 600

    parent: T.Overlay.overlay
    width: parent ? Math.min(preferredWidth, parent.width - 48) : preferredWidth
    height: parent ? Math.min(preferredHeight, parent.height - 48) : preferredHeight
    x: parent ? Math.round((parent.width - width) / 2) : 0
    y: parent ? Math.round((parent.height - height) / 2) : 0
    modal: true
    focus: true
    padding: 0
    closePolicy: Popup.CloseOnEscape
    background: Rectangle {
        color: Theme.window
        radius: Theme.radius + 4
        border.color: Theme.separator
        border.width: 1
    }
    T.Overlay.modal: Rectangle { color: Theme.dark ? "#99000000" : "#59101014" }
    enter: Transition { NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 160; easing.type: Easing.OutCubic } }
    exit: Transition { NumberAnimation { property: "opacity"; from: 1; to: 0; duration: 120 } }
}
