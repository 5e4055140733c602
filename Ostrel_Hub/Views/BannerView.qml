import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// One banner: the tone's icon, the message and a button that dismisses it.
Item {
    id: banner
    required property string bannerId
    required property string tone
    required property string text
    signal dismissed(string id)

    readonly property string toneIcon: tone === "success" ? "emblem-ok"
                                     : tone === "info" ? "dialog-information" : "dialog-warning"
    readonly property color toneColour: tone === "success" ? Theme.success
                                      : tone === "info" ? Theme.accent
                                      : tone === "warning" ? Theme.warning : Theme.failure

    implicitHeight: card.implicitHeight
    Accessible.role: Accessible.AlertMessage
    Accessible.name: text

    // A soft shadow under the card, so it reads as floating over the screen.
    Rectangle {
        anchors.fill: card
        anchors.topMargin: 3
        anchors.bottomMargin: -3
        radius: card.radius
        color: Theme.shadow
        opacity: 0.5
    }
    Rectangle {
        id: card
        width: parent.width
        implicitHeight: row.implicitHeight + 20
        radius: Theme.radius
        color: Theme.card
        border.width: 1
        border.color: Theme.separator

        // The tone's colour as a thin stripe along the leading edge.
        Rectangle {
            width: 4
            radius: 2
            color: banner.toneColour
            anchors.left: parent.left
            anchors.top: parent.top
            anchors.bottom: parent.bottom
            anchors.margins: 8
        }

        RowLayout {
            id: row
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            anchors.leftMargin: 22
            anchors.rightMargin: 8
            spacing: 12

            Icon {
                name: banner.toneIcon
                size: Math.round(Theme.bodySize * 1.4)
                color: banner.toneColour
                Layout.alignment: Qt.AlignVCenter
            }
            Text {
                text: banner.text
                font.family: Theme.fontFamily
                font.pixelSize: Theme.bodySize
                color: Theme.text
                wrapMode: Text.WordWrap
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignVCenter
                Accessible.ignored: true
            }
            HubButton {
                iconName: "window-close"
                accessibleName: "Dismiss"
                help: "Dismiss"
                Layout.alignment: Qt.AlignVCenter
                onClicked: banner.dismissed(banner.bannerId)
            }
        }
    }
}
