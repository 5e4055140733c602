import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// The sign-in sheet: the Ostrel ID and the store account on two tabs. Opened to connect the
// store, it says why at its top and starts on the store tab. Escape and "Cancel" dismiss it.
Rectangle {
    id: sheet
    property var hub
    readonly property bool connecting: hub ? hub.signInFlow.connectingStore : false
    readonly property string reason: hub && connecting ? hub.signInReason : ""
    // 0: Ostrel ID, 1: Store account.
    property int tab: connecting ? 1 : 0

    implicitWidth: 500
    implicitHeight: column.implicitHeight + 2 * 28
    // Square and filled on its own (a snapshot); the sheet's frame draws the rounded edge.
    color: Theme.window
    focus: true
    Accessible.role: Accessible.Dialog
    Accessible.name: "Sign in to Ostrel"

    function dismiss() {
        if (hub)
            hub.showSignIn = false
    }
    Keys.onEscapePressed: dismiss()

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 28
        spacing: 16

        RowLayout {
            spacing: 14
            Layout.fillWidth: true
            Rectangle {
                implicitWidth: Math.round(Theme.bodySize * 3.2)
                implicitHeight: implicitWidth
                radius: width / 2
                color: Theme.selection
                Icon {
                    anchors.centerIn: parent
                    name: "avatar-default"
                    size: Math.round(parent.width * 0.58)
                    color: Theme.accent
                }
            }
            ColumnLayout {
                spacing: 3
                Layout.fillWidth: true
                Text {
                    text: "Sign in to Ostrel"
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.titleSize
                    font.weight: Font.Bold
                    color: Theme.text
                    wrapMode: Text.WordWrap
                    Layout.fillWidth: true
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                }
                Text {
                    text: sheet.connecting ? "Connect your store account"
                                           : "Use your Ostrel ID, or the store account from your purchases. Either one shows your library."
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.bodySize
                    color: Theme.secondaryText
                    wrapMode: Text.WordWrap
                    Layout.fillWidth: true
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }
        }

        // Why the sheet is open, when something waits for the store account.
        Rectangle {
            visible: sheet.reason.length > 0
            Layout.fillWidth: true
            implicitHeight: reasonText.implicitHeight + 24
            radius: Theme.radius
            color: Theme.selection
            RowLayout {
                anchors.fill: parent
                anchors.margins: 12
                spacing: 10
                Icon {
                    Layout.alignment: Qt.AlignTop
                    name: "dialog-information"
                    size: Math.round(Theme.bodySize * 1.2)
                    color: Theme.accent
                }
                Text {
                    id: reasonText
                    Layout.fillWidth: true
                    text: sheet.reason
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.bodySize
                    color: Theme.text
                    wrapMode: Text.WordWrap
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: tabs.implicitHeight + 6
            radius: 9
            color: Theme.card
            RowLayout {
                id: tabs
                anchors.fill: parent
                anchors.margins: 3
                spacing: 3
                SheetTab {
                    Layout.fillWidth: true
                    text: "Ostrel ID"
                    checked: sheet.tab === 0
                    onClicked: sheet.tab = 0
                    KeyNavigation.right: storeTab
                }
                SheetTab {
                    id: storeTab
                    Layout.fillWidth: true
                    text: "Store account"
                    checked: sheet.tab === 1
                    onClicked: sheet.tab = 1
                }
            }
        }

        OstrelIDForm {
            visible: sheet.tab === 0
            hub: sheet.hub
            Layout.fillWidth: true
        }
        StoreSignInForm {
            visible: sheet.tab === 1
            hub: sheet.hub
            Layout.fillWidth: true
        }

        // Keeps the footer at the foot when the sheet is given more height than it needs.
        Item { Layout.fillHeight: true }

        Rectangle { Layout.fillWidth: true; height: 1; color: Theme.separator }

        RowLayout {
            spacing: 10
            Layout.fillWidth: true
            Icon {
                Layout.alignment: Qt.AlignTop
                name: "security-high"
                size: Math.round(Theme.bodySize * 1.2)
                color: Theme.secondaryText
            }
            Text {
                Layout.fillWidth: true
                text: "Sessions are kept in the macOS keychain on this Mac. Passwords are never stored."
                font.family: Theme.fontFamily
                font.pixelSize: Theme.captionSize
                color: Theme.secondaryText
                wrapMode: Text.WordWrap
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
            HubButton {
                text: "Cancel"
                onClicked: sheet.dismiss()
            }
        }
    }
}
