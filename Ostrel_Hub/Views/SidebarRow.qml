import QtQuick
import Ostrel.Hub

// One section in the sidebar: icon, title and, when there is something to count, a badge.
// A soft highlight marks the selected section; a ring marks the keyboard cursor.
Item {
    id: row
    required property int section
    required property string sectionId
    required property string title
    required property string iconName
    required property int badge
    required property string group
    property bool selected: false
    property bool cursor: false
    signal activated()

    // Account has its own place at the sidebar's foot.
    readonly property bool listed: group !== "Account"
    visible: listed
    implicitHeight: listed ? Math.max(32, Math.round(Theme.bodySize * 2.45)) : 0

    Accessible.role: Accessible.ListItem
    Accessible.name: title
    Accessible.description: badge > 0 ? String(badge) : ""
    Accessible.selectable: true
    Accessible.selected: selected

    Rectangle {
        id: plate
        anchors.fill: parent
        anchors.leftMargin: 10
        anchors.rightMargin: 10
        anchors.topMargin: 1
        anchors.bottomMargin: 1
        radius: 8
        color: row.selected ? Theme.selection : area.containsMouse ? Theme.cardHover : "transparent"
        Behavior on color { ColorAnimation { duration: 120 } }

        FocusRing {
            visible: row.cursor
            anchors.margins: -1
            radius: 9
        }

        Icon {
            id: icon
            name: row.iconName
            size: Math.round(Theme.bodySize * 1.25)
            color: row.selected ? Theme.accent : Theme.secondaryText
            anchors.left: parent.left
            anchors.leftMargin: 10
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            text: row.title
            font.family: Theme.fontFamily
            font.pixelSize: Theme.bodySize
            font.weight: row.selected ? Font.DemiBold : Font.Normal
            color: Theme.text
            elide: Text.ElideRight
            anchors.left: icon.right
            anchors.leftMargin: 10
            anchors.right: badgePill.visible ? badgePill.left : parent.right
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            Accessible.ignored: true
        }
        SidebarBadge {
            id: badgePill
            objectName: "badge:" + row.sectionId
            count: row.badge
            emphasised: row.selected
            anchors.right: parent.right
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
        }
    }

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: row.activated()
    }
}
