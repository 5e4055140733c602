import QtQuick
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// One tab of the Settings window: an icon over its title; the chosen one sits on a soft
// accent plate.
Basic.AbstractButton {
    id: tab
    property string iconName
    property bool chosen: false

    checkable: true
    checked: chosen
    focusPolicy: Qt.StrongFocus
    activeFocusOnTab: chosen
    hoverEnabled: true
    padding: 6
    leftPadding: 14
    rightPadding: 14
    font.family: Theme.fontFamily
    font.pixelSize: Theme.captionSize
    font.weight: chosen ? Font.DemiBold : Font.Medium
    Accessible.role: Accessible.PageTab
    Accessible.name: text
    Accessible.checked: chosen
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    contentItem: Column {
        spacing: 3
        Icon {
            anchors.horizontalCenter: parent.horizontalCenter
            name: tab.iconName
            size: Math.round(tab.font.pixelSize * 1.9)
            color: tab.chosen ? Theme.accent : Theme.secondaryText
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: tab.text
            font: tab.font
            color: tab.chosen ? Theme.accent : Theme.secondaryText
        }
    }
    background: Rectangle {
        radius: 8
        color: tab.chosen ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.14)
                          : tab.hovered ? Theme.cardHover : "transparent"
        FocusRing { visible: tab.visualFocus; radius: 10 }
    }
}
