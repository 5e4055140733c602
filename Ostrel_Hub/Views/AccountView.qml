import QtQuick
import QtQuick.Controls.Basic as Basic
import QtQuick.Layouts
import Ostrel.Hub

// The Account section: a prompt to sign in when neither account is connected; otherwise the
// Ostrel ID with its signed-in devices and purchases, the store account, and what the hub
// guarantees about both (Security).
Basic.ScrollView {
    id: account
    property var hub

    readonly property var flow: hub ? hub.signInFlow : null
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
            onAction: account.flow.open()
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
                    name: account.hub ? account.hub.displayName : ""
                }
                ColumnLayout {
                    spacing: 2
                    Layout.fillWidth: true
                    AccountLines {
                        first: account.hub ? account.hub.displayName : ""
                        second: account.hub && account.hub.displayEmail !== account.hub.displayName ? account.hub.displayEmail : ""
                        Layout.fillWidth: true
                    }
                    Text {
                        visible: text.length > 0
                        text: account.flow && account.flow.signsInWith.length > 0 ? "Signs in with " + account.flow.signsInWith : ""
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.captionSize
                        color: Theme.secondaryText
                        Layout.fillWidth: true
                        wrapMode: Text.WordWrap
                    }
                }
            }
            RowLayout {
                spacing: 12
                Layout.fillWidth: true
                LinkButton {
                    text: "Manage your Ostrel ID"
                    font.pixelSize: Theme.bodySize
                    help: "Opens your account on the Ostrel ID site"
                    onClicked: account.hub.openUrl(account.flow.manageAccountUrl)
                }
                Item { Layout.fillWidth: true }
                HubButton {
                    text: "Sign Out"
                    onClicked: account.flow.signOut()
                }
            }
        }

        AccountCard {
            visible: account.ostrelSignedIn
            title: "Signed-in devices"
            Layout.fillWidth: true
            Layout.maximumWidth: 640
            Layout.leftMargin: Theme.padding
            Layout.rightMargin: Theme.padding

            Text {
                text: "Every place your Ostrel ID is signed in."
                font.family: Theme.fontFamily
                font.pixelSize: Theme.bodySize
                color: Theme.secondaryText
                wrapMode: Text.WordWrap
                Layout.fillWidth: true
            }
            Repeater {
                model: account.flow ? account.flow.devices : null
                delegate: DeviceRow {
                    Layout.fillWidth: true
                    onSignOut: account.flow.signOutDevice(sessionId)
                }
            }
        }

        AccountCard {
            visible: account.ostrelSignedIn
            title: "Purchase history"
            Layout.fillWidth: true
            Layout.maximumWidth: 640
            Layout.leftMargin: Theme.padding
            Layout.rightMargin: Theme.padding

            Text {
                visible: account.flow ? account.flow.purchases.count === 0 : true
                text: "No purchases yet."
                font.family: Theme.fontFamily
                font.pixelSize: Theme.bodySize
                color: Theme.secondaryText
                Layout.fillWidth: true
            }
            Repeater {
                model: account.flow ? account.flow.purchases : null
                delegate: PurchaseRow {
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
            Text {
                visible: !account.storeConnected
                text: "Sign in with the email you bought with."
                font.family: Theme.fontFamily
                font.pixelSize: Theme.bodySize
                color: Theme.secondaryText
                wrapMode: Text.WordWrap
                Layout.fillWidth: true
            }
            RowLayout {
                spacing: 10
                Layout.fillWidth: true
                LinkButton {
                    text: "Open the store"
                    font.pixelSize: Theme.bodySize
                    help: "Opens the Ostrel store in your browser"
                    onClicked: account.hub.openUrl(account.flow.storeUrl)
                }
                Item { Layout.fillWidth: true }
                HubButton {
                    visible: account.storeConnected
                    text: "Disconnect"
                    onClicked: account.flow.disconnect()
                }
                HubButton {
                    visible: !account.storeConnected
                    text: "Connect"
                    prominent: true
                    onClicked: account.flow.openToConnect("Sign in with the email you bought with.")
                }
            }
        }

        AccountCard {
            visible: account.signedIn
            title: "Security"
            Layout.fillWidth: true
            Layout.maximumWidth: 640
            Layout.leftMargin: Theme.padding
            Layout.rightMargin: Theme.padding

            SecurityPane {
                hub: account.hub
                color: Theme.card
                Layout.fillWidth: true
                Layout.preferredHeight: 560
            }
        }

        Item { Layout.preferredHeight: Theme.padding }
    }
}
