import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// One signed-in device of the Ostrel ID: its kind, its name ("This Mac" for this one), when it
// was last active, and "Sign Out" for the others.
RowLayout {
    id: row
    required property string sessionId
    required property string label
    required property string lastActive
    required property string iconName
    required property bool isCurrent
    signal signOut()

    spacing: 12

    Rectangle {
        implicitWidth: Math.round(Theme.bodySize * 2.6)
        implicitHeight: implicitWidth
        radius: 8
        color: Theme.cardHover
        Icon {
            anchors.centerIn: parent
            name: row.iconName
            size: Math.round(parent.width * 0.6)
            color: Theme.secondaryText
        }
    }
    AccountLines {
        first: row.label
        second: row.lastActive
        Layout.fillWidth: true
    }
    HubButton {
        visible: !row.isCurrent
        text: "Sign Out"
        accessibleName: "Sign Out " + row.label
        onClicked: row.signOut()
    }
}
