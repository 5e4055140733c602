import QtQuick
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// One tab of a sheet's segmented switch; the chosen one is filled.
Basic.AbstractButton {
    id: tab
    checkable: true
    focusPolicy: Qt.StrongFocus
    hoverEnabled: true
    padding: 7
    font.family: Theme.fontFamily
    font.pixelSize: Theme.bodySize
    font.weight: checked ? Font.DemiBold : Font.Medium
    Accessible.role: Accessible.PageTab
    Accessible.name: text
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    contentItem: Text {
        text: tab.text
        font: tab.font
        color: tab.checked ? Theme.text : Theme.secondaryText
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    background: Rectangle {
        radius: 7
        color: tab.checked ? Theme.window : (tab.hovered ? Theme.cardHover : "transparent")
        border.width: tab.checked ? 1 : 0
        border.color: Theme.separator
        FocusRing { visible: tab.visualFocus; radius: 8 }
    }
}
