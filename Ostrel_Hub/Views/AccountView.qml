import QtQuick
import QtQuick.Controls.Basic as Basic
import QtQuick.Layouts
import Ostrel.Hub

// The Account section: a prompt to sign in when neither account is connected; otherwise a
// card per account. Devices, purchases and security join the column below the cards.
Basic.ScrollView {
    id: account
    property var hub

    readonly property bool signedIn: hub ? hub.signedIn : false
    readonly property bool storeConnected: hub ? hub.storeConnected : false
    readonly property bool ostrelSignedIn: hub ? hub.ostrelSignedIn : false

    contentWidth: availableWidth
    clip: true

    ColumnLayout {
        width: account.availableWidth
        spacing: 16

        ScreenHeader {
            title: "Account"
            Layout.fillWidth: true
            Layout.margins: Theme.padding
            Layout.bottomMargin: 0
        }

        EmptyState {
            visible: !account.signedIn
            iconName: "avatar-default"
            title: "Sign in to Ostrel"
            message: "Use your Ostrel ID, or the store account from your purchases. Either one shows your library."
            actionTitle: "Sign In"
            onAction: account.hub.showSignIn = true
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 60
            Layout.leftMargin: Theme.padding
            Layout.rightMargin: Theme.padding
        }

        AccountCard {
            visible: account.ostrelSignedIn
            title: "Ostrel ID"
            Layout.fillWidth: true
            Layout.maximumWidth: 640
            Layout.leftMargin: Theme.padding
            Layout.rightMargin: Theme.padding

            RowLayout {
                spacing: 14
                Layout.fillWidth: true
                AccountAvatar {
                    name: account.hub ? account.hub.accountName : ""
                }
                AccountLines {
                    first: account.hub ? account.hub.accountName : ""
                    Layout.fillWidth: true
                }
            }
        }

        AccountCard {
            visible: account.signedIn
            title: "Store account"
            status: account.storeConnected ? "Connected" : "Not connected"
            positive: account.storeConnected
            Layout.fillWidth: true
            Layout.maximumWidth: 640
            Layout.leftMargin: Theme.padding
            Layout.rightMargin: Theme.padding

            AccountLines {
                visible: account.storeConnected
                first: account.hub ? account.hub.storeUserName : ""
                second: account.hub ? account.hub.storeUserEmail : ""
                Layout.fillWidth: true
            }
            RowLayout {
                visible: !account.storeConnected
                spacing: 12
                Layout.fillWidth: true
                Text {
                    text: "Sign in with the email you bought with."
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.bodySize
                    color: Theme.secondaryText
                    wrapMode: Text.WordWrap
                    Layout.fillWidth: true
                }
                HubButton {
                    text: "Connect"
                    prominent: true
                    onClicked: account.hub.showSignIn = true
                }
            }
        }

        Item { Layout.preferredHeight: Theme.padding }
    }
}
