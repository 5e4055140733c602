import QtQuick
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// One entry of an ActionsMenu: its words, dimmed while it does not apply.
Basic.MenuItem {
    id: item
    property bool destructive: false
    font.family: Theme.fontFamily
    font.pixelSize: Theme.bodySize
    leftPadding: 12
    rightPadding: 12
    topPadding: 6
    bottomPadding: 6
    Accessible.role: Accessible.MenuItem
    Accessible.name: text

    contentItem: Text {
        text: item.text
        font: item.font
        color: !item.enabled ? Theme.tertiaryText
             : item.highlighted ? Theme.accentText
             : item.destructive ? Theme.failure : Theme.text
        elide: Text.ElideRight
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        implicitWidth: 220
        implicitHeight: Math.max(28, item.font.pixelSize * 2)
        radius: 6
        color: item.highlighted && item.enabled ? Theme.accent : "transparent"
    }
}
