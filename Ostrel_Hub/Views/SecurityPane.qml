import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// What the hub guarantees about installs, the network, the accounts and its own updates. The
// hosts named are those of the service configuration the app model runs on.
Rectangle {
    id: pane
    property var hub
    color: Theme.window
    implicitWidth: 520
    implicitHeight: 560

    ServiceHosts {
        id: hosts
        hub: pane.hub ? pane.hub : null
    }

    readonly property var groups: [
        { title: "Every install", lines: [
            "Every app and plug-in must carry Ostrel's Developer ID signature. Anything else is refused.",
            "Signatures are checked across all architectures and nested code, before install and again where the files land. A revoked certificate is refused.",
            "Apps must be notarized by Apple, the check Gatekeeper would otherwise make.",
            "An older release never replaces a newer one.",
            "Installer packages are unpacked and their scripts are never run. Nothing asks for an administrator password.",
            "Replaced and removed versions go to the Trash."
        ] },
        { title: "Network", lines: [
            "Store and account traffic goes only to " + hosts.storeApiHost + " and " + hosts.identityApiHost
                + ", pinned to the certificate authorities those servers use. A certificate from any other authority is refused.",
            "HTTPS only, no cookies, no cache, no redirects."
        ] },
        { title: "Account and payment", lines: [
            "Both sessions live in the macOS keychain, on this Mac only. Passwords are never stored.",
            "Browser sign-in returns to this Mac only, and only for the request this window started.",
            "Checkout runs on the store's payment page in a private web view, limited to the store and its payment processors. Card details never reach this app."
        ] },
        { title: "Updates to this app", lines: [
            "New versions are checked hourly and installed automatically. The update feed and the download must both carry Ostrel's EdDSA signature, and the new app must be signed by Ostrel."
        ] }
    ]

    Flickable {
        id: scroller
        anchors.fill: parent
        contentHeight: column.implicitHeight + 2 * margin
        readonly property int margin: Theme.padding - 4
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        activeFocusOnTab: true
        Accessible.role: Accessible.Pane
        Accessible.name: "Security"
        Keys.onUpPressed: contentY = Math.max(0, contentY - 40)
        Keys.onDownPressed: contentY = Math.max(0, Math.min(contentHeight - height, contentY + 40))

        ColumnLayout {
            id: column
            x: scroller.margin
            y: scroller.margin
            width: scroller.width - 2 * scroller.margin
            spacing: Theme.spacing + 6

            Repeater {
                model: pane.groups
                delegate: ColumnLayout {
                    required property var modelData
                    Layout.fillWidth: true
                    spacing: Theme.spacing - 2

                    Text {
                        text: modelData.title
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.bodySize
                        font.weight: Font.DemiBold
                        color: Theme.text
                        Layout.fillWidth: true
                        wrapMode: Text.WordWrap
                        Accessible.role: Accessible.Heading
                        Accessible.name: text
                    }
                    Repeater {
                        model: modelData.lines
                        delegate: RowLayout {
                            required property string modelData
                            Layout.fillWidth: true
                            spacing: Theme.spacing + 2

                            Icon {
                                name: "security-high"
                                color: Theme.success
                                size: Theme.bodySize
                                Layout.alignment: Qt.AlignTop
                                Layout.topMargin: 1
                            }
                            Text {
                                text: modelData
                                font.family: Theme.fontFamily
                                // A dense list: one step under body text keeps it on one pane.
                                font.pixelSize: Math.round((Theme.captionSize + Theme.bodySize) / 2)
                                color: Theme.secondaryText
                                Layout.fillWidth: true
                                wrapMode: Text.WordWrap
                                Accessible.role: Accessible.StaticText
                                Accessible.name: text
                            }
                        }
                    }
                }
            }
        }
    }
    FocusRing {
        anchors.margins: 3
        visible: scroller.activeFocus
    }
}
