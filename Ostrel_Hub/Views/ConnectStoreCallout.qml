import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// Shown while only the Ostrel ID is connected: it lists what the user owns, but downloads need
// the store account the products were bought with.
Rectangle {
    id: callout
    property var hub
    implicitHeight: content.implicitHeight + 2 * 16
    radius: Theme.radius
    color: Theme.selection
    border.width: 1
    border.color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.35)

    RowLayout {
        id: content
        anchors.fill: parent
        anchors.margins: 16
        spacing: 14

        Icon {
            Layout.alignment: Qt.AlignTop
            name: "insert-link"
            size: 28
            color: Theme.accent
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 3
            Text {
                Layout.fillWidth: true
                text: "Connect your store account to install"
                font.family: Theme.fontFamily
                font.pixelSize: Theme.headlineSize
                font.weight: Font.DemiBold
                color: Theme.text
                wrapMode: Text.WordWrap
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            Text {
                Layout.fillWidth: true
                text: "Your Ostrel ID shows what you own. Downloads come from the store account you bought with."
                font.family: Theme.fontFamily
                font.pixelSize: Theme.bodySize
                color: Theme.secondaryText
                wrapMode: Text.WordWrap
            }
            Text {
                Layout.fillWidth: true
                text: "Sign in with the email you bought with. You only do this once on this Mac."
                font.family: Theme.fontFamily
                font.pixelSize: Theme.bodySize
                color: Theme.secondaryText
                wrapMode: Text.WordWrap
            }
        }
        HubButton {
            Layout.alignment: Qt.AlignVCenter
            text: "Connect"
            prominent: true
            onClicked: callout.hub.signInFlow.openToConnect("Sign in with the email you bought with. You only do this once on this Mac.")
        }
    }
}
