import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// A line under a form: what went wrong (failure colour, warning icon) or what happened.
RowLayout {
    id: message
    property string text
    property bool failure: true
    visible: text.length > 0
    spacing: 8

    Icon {
        Layout.alignment: Qt.AlignTop
        name: message.failure ? "dialog-warning" : "emblem-ok"
        size: Math.round(Theme.bodySize * 1.15)
        color: message.failure ? Theme.failure : Theme.success
    }
    Text {
        Layout.fillWidth: true
        text: message.text
        font.family: Theme.fontFamily
        font.pixelSize: Theme.bodySize
        color: message.failure ? Theme.failure : Theme.text
        wrapMode: Text.WordWrap
        Accessible.role: message.failure ? Accessible.AlertMessage : Accessible.StaticText
        Accessible.name: text
    }
}
