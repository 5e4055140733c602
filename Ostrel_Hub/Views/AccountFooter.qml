import QtQuick
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// The sidebar's foot: who is signed in (or "Sign In"), opening the Account section.
Basic.AbstractButton {
    id: footer
    property var hub

    readonly property bool signedIn: hub ? hub.signedIn : false
    readonly property string name: hub ? hub.accountName : ""
    readonly property bool selected: !!hub && hub.navigation.selection === HubSection.HubSection.account
    // The name, or the section's own title for an account without a display name.
    readonly property string label: !signedIn ? "Sign In" : name.length > 0 ? name : "Account"

    focusPolicy: Qt.StrongFocus
    hoverEnabled: true
    padding: 8
    Accessible.role: Accessible.Button
    Accessible.name: label
    Accessible.description: caption.text
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
    onClicked: hub.selectSection(HubSection.HubSection.account)

    contentItem: Row {
        spacing: 10
        AccountAvatar {
            name: footer.signedIn ? footer.name : ""
            anchors.verticalCenter: parent.verticalCenter
        }
        Column {
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width - x
            spacing: 1
            Text {
                width: parent.width
                text: footer.label
                font.family: Theme.fontFamily
                font.pixelSize: Theme.bodySize
                font.weight: Font.DemiBold
                color: Theme.text
                elide: Text.ElideRight
                Accessible.ignored: true
            }
            Text {
                id: caption
                width: parent.width
                text: "Ostrel ID and store"
                font.family: Theme.fontFamily
                font.pixelSize: Theme.captionSize
                color: Theme.secondaryText
                wrapMode: Text.WordWrap
                maximumLineCount: 2
                elide: Text.ElideRight
                Accessible.ignored: true
            }
        }
    }

    background: Rectangle {
        radius: 8
        color: footer.selected ? Theme.selection : footer.hovered ? Theme.cardHover : "transparent"
        Behavior on color { ColorAnimation { duration: 120 } }
        FocusRing {
            visible: footer.visualFocus
            anchors.margins: -1
            radius: 9
        }
    }
}
