import QtQuick
import QtQuick.Controls.Basic as Basic
import QtQuick.Layouts
import Ostrel.Hub

// The Ostrel ID tab of the sign-in sheet: a browser sign-in per provider, or an e-mailed code.
// Only what is being typed lives here; the flows and their state are the model's.
ColumnLayout {
    id: form
    property var hub
    readonly property var flow: hub ? hub.signInFlow : null
    readonly property bool busy: flow ? flow.busy : false
    readonly property bool waiting: flow ? flow.waitingForBrowser : false
    readonly property bool codeSent: flow ? flow.codeSent : false

    spacing: 12

    // One button per provider while no browser is open.
    Repeater {
        model: form.flow && !form.waiting ? form.flow.providers : []
        delegate: HubButton {
            required property var modelData
            Layout.fillWidth: true
            text: "Continue with " + modelData.title
            enabled: !form.busy
            onClicked: form.flow.continueWith(modelData.id)
        }
    }

    // The browser is open on the provider's page; the receiver waits for it.
    Rectangle {
        visible: form.waiting
        Layout.fillWidth: true
        implicitHeight: waitingRow.implicitHeight + 28
        radius: Theme.radius
        color: Theme.selection
        RowLayout {
            id: waitingRow
            anchors.fill: parent
            anchors.margins: 14
            spacing: 12
            Basic.BusyIndicator {
                running: form.waiting
                implicitWidth: Math.round(Theme.bodySize * 2)
                implicitHeight: implicitWidth
                Accessible.ignored: true
            }
            Text {
                Layout.fillWidth: true
                text: "Finish signing in in your browser."
                font.family: Theme.fontFamily
                font.pixelSize: Theme.bodySize
                color: Theme.text
                wrapMode: Text.WordWrap
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
            HubButton {
                text: "Stop waiting"
                onClicked: form.flow.stopWaiting()
            }
        }
    }

    // "or with an emailed code", between two rules.
    RowLayout {
        Layout.fillWidth: true
        Layout.topMargin: 4
        spacing: 10
        Rectangle { Layout.fillWidth: true; height: 1; color: Theme.separator }
        Text {
            text: "or with an emailed code"
            font.family: Theme.fontFamily
            font.pixelSize: Theme.captionSize
            color: Theme.secondaryText
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        Rectangle { Layout.fillWidth: true; height: 1; color: Theme.separator }
    }

    FormField {
        id: email
        visible: !form.codeSent
        Layout.fillWidth: true
        label: "Email"
        inputMethodHints: Qt.ImhEmailCharactersOnly | Qt.ImhNoAutoUppercase
        onSubmitted: sendCode.clicked()
    }
    HubButton {
        id: sendCode
        visible: !form.codeSent
        Layout.fillWidth: true
        text: "Email me a code"
        enabled: !form.busy && email.text.indexOf("@") > 0
        onClicked: if (enabled) form.flow.emailMeACode(email.text)
    }

    Text {
        visible: form.codeSent
        Layout.fillWidth: true
        text: form.flow ? form.flow.codeEmail : ""
        font.family: Theme.fontFamily
        font.pixelSize: Theme.bodySize
        font.weight: Font.DemiBold
        color: Theme.text
        elide: Text.ElideMiddle
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
    FormField {
        id: code
        visible: form.codeSent
        Layout.fillWidth: true
        label: "Six-digit code"
        inputMethodHints: Qt.ImhDigitsOnly
        onSubmitted: signIn.clicked()
        onVisibleChanged: if (visible) { text = ""; field.forceActiveFocus() }
    }
    RowLayout {
        visible: form.codeSent
        Layout.fillWidth: true
        spacing: 12
        LinkButton {
            text: "Use a different email"
            font.pixelSize: Theme.bodySize
            onClicked: form.flow.useDifferentEmail()
        }
        Item { Layout.fillWidth: true }
        HubButton {
            id: signIn
            text: "Sign In"
            prominent: true
            enabled: !form.busy && code.text.replace(/\s/g, "").length > 0
            onClicked: if (enabled) form.flow.submitCode(code.text)
        }
    }

    FormMessage {
        Layout.fillWidth: true
        text: form.flow ? form.flow.ostrelError : ""
    }
}
