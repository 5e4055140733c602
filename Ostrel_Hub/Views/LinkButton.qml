import QtQuick
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// A small text-only button in the accent colour, for quiet actions inside a row ("More").
Basic.AbstractButton {
    id: link
    property string help
    focusPolicy: Qt.StrongFocus
    hoverEnabled: true
    padding: 2
    font.family: Theme.fontFamily
    font.pixelSize: Theme.captionSize
    font.weight: Font.DemiBold
    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.description: help
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    contentItem: Text {
        text: link.text
        font.family: link.font.family
        font.pixelSize: link.font.pixelSize
        font.weight: link.font.weight
        color: Theme.accent
        opacity: link.down ? 0.7 : 1
        font.underline: link.hovered
    }
    background: Item {
        FocusRing { visible: link.visualFocus; radius: 4 }
    }
}
