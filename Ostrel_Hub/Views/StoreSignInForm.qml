import QtQuick
import QtQuick.Controls.Basic as Basic
import QtQuick.Layouts
import Ostrel.Hub

// The store account tab of the sign-in sheet: sign in with the store's e-mail and password,
// ask for a reset link, or create an account. Only what is being typed lives here.
ColumnLayout {
    id: form
    property var hub
    // The sign-up form instead of the sign-in form.
    property bool creating: false
    readonly property var flow: hub ? hub.signInFlow : null
    readonly property bool busy: flow ? flow.busy : false

    spacing: 12

    FormField {
        id: name
        visible: form.creating
        Layout.fillWidth: true
        label: "Your name"
        onSubmitted: email.field.forceActiveFocus()
    }
    FormField {
        id: email
        Layout.fillWidth: true
        label: "Store email"
        inputMethodHints: Qt.ImhEmailCharactersOnly | Qt.ImhNoAutoUppercase
        onSubmitted: password.field.forceActiveFocus()
    }
    FormField {
        id: password
        Layout.fillWidth: true
        label: form.creating ? "Choose a password" : "Password"
        echoMode: TextInput.Password
        onSubmitted: form.creating ? create.clicked() : signIn.clicked()
    }

    // Signing in.
    RowLayout {
        visible: !form.creating
        Layout.fillWidth: true
        spacing: 14
        LinkButton {
            text: "Forgot password"
            font.pixelSize: Theme.bodySize
            enabled: !form.busy && email.text.indexOf("@") > 0
            help: "Sends a reset link to the store email above"
            onClicked: form.flow.submitForgotPassword(email.text)
        }
        LinkButton {
            text: "Create an account"
            font.pixelSize: Theme.bodySize
            onClicked: form.creating = true
        }
        Item { Layout.fillWidth: true }
        HubButton {
            id: signIn
            text: "Sign In"
            prominent: true
            enabled: !form.busy && email.text.indexOf("@") > 0 && password.text.length > 0
            onClicked: if (enabled) form.flow.submitStoreSignIn(email.text, password.text)
        }
    }
    FormMessage {
        Layout.fillWidth: true
        visible: !form.creating && text.length > 0
        failure: false
        text: form.flow && form.flow.resetSent ? "If that address has a store account, a reset link is on its way." : ""
    }

    // Creating an account.
    Basic.CheckBox {
        id: newsletter
        visible: form.creating
        Layout.fillWidth: true
        text: "Email me about product updates and offers"
        font.family: Theme.fontFamily
        font.pixelSize: Theme.bodySize
        focusPolicy: Qt.StrongFocus
        padding: 0
        Accessible.role: Accessible.CheckBox
        Accessible.name: text
        Keys.onReturnPressed: toggle()
        contentItem: Text {
            leftPadding: newsletter.indicator.width + 8
            text: newsletter.text
            font: newsletter.font
            color: Theme.text
            wrapMode: Text.WordWrap
            verticalAlignment: Text.AlignVCenter
        }
        indicator: Rectangle {
            implicitWidth: Math.round(Theme.bodySize * 1.35)
            implicitHeight: implicitWidth
            y: (newsletter.height - height) / 2
            radius: 5
            color: newsletter.checked ? Theme.accent : Theme.field
            border.width: newsletter.checked ? 0 : 1
            border.color: Theme.separator
            Icon {
                anchors.centerIn: parent
                visible: newsletter.checked
                name: "object-select"
                size: Math.round(parent.width * 0.8)
                color: Theme.accentText
            }
            FocusRing { visible: newsletter.visualFocus; radius: 7 }
        }
    }
    Flow {
        visible: form.creating
        Layout.fillWidth: true
        spacing: 0
        Text {
            text: "Creating an account accepts the store's "
            font.family: Theme.fontFamily
            font.pixelSize: Theme.captionSize
            color: Theme.secondaryText
        }
        LinkButton {
            text: "terms"
            padding: 0
            onClicked: form.hub.openUrl(form.flow.termsUrl)
        }
        Text {
            text: " and "
            font.family: Theme.fontFamily
            font.pixelSize: Theme.captionSize
            color: Theme.secondaryText
        }
        LinkButton {
            text: "privacy policy"
            padding: 0
            onClicked: form.hub.openUrl(form.flow.privacyUrl)
        }
        Text {
            text: "."
            font.family: Theme.fontFamily
            font.pixelSize: Theme.captionSize
            color: Theme.secondaryText
        }
    }
    RowLayout {
        visible: form.creating
        Layout.fillWidth: true
        spacing: 14
        LinkButton {
            text: "I have an account"
            font.pixelSize: Theme.bodySize
            onClicked: form.creating = false
        }
        Item { Layout.fillWidth: true }
        HubButton {
            id: create
            text: "Create Account"
            prominent: true
            enabled: !form.busy && name.text.trim().length > 0 && email.text.indexOf("@") > 0 && password.text.length > 0
            onClicked: if (enabled) form.flow.submitSignUp(name.text, email.text, password.text, newsletter.checked)
        }
    }

    FormMessage {
        Layout.fillWidth: true
        text: form.flow ? form.flow.storeError : ""
    }
}
