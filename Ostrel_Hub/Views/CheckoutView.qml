import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import QtWebEngine
import Ostrel.Checkout
import Ostrel.Hub

// The checkout sheet: the store's payment page in a private web view, with the padlock and the
// page's host, the order's status, "Open in browser" and "Close". Which pages, frames, windows,
// downloads and certificates the view accepts is the guard's decision (C++), not this file's.
Rectangle {
    id: sheet
    property var hub
    readonly property var checkout: hub ? hub.checkout : null
    // The page's state, as the web view reports it.
    readonly property string host: guard.hostOf(web.url)
    readonly property bool secure: (guard.insecureContent, guard.isSecure(web.url))
    readonly property bool loading: web.loading
    property var popups: []

    color: Theme.window
    radius: Theme.radius + 4
    focus: true
    Keys.onEscapePressed: sheet.checkout.close()

    CheckoutGuard {
        id: guard
        rules: sheet.checkout ? sheet.checkout.webRules : ({})
        returnUrl: sheet.checkout ? sheet.checkout.returnUrl : ""
        onReturned: sheet.checkout.markReturned()
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 12

        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            Rectangle {
                Layout.fillWidth: true
                Layout.preferredHeight: Math.max(34, Math.round(Theme.bodySize * 2.6))
                radius: height / 2
                color: Theme.card
                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 12
                    anchors.rightMargin: 12
                    spacing: 8
                    Icon {
                        name: sheet.secure ? "changes-prevent" : "changes-allow"
                        size: Math.round(Theme.bodySize * 1.2)
                        color: sheet.secure ? Theme.success : Theme.warning
                        Accessible.role: Accessible.Graphic
                        Accessible.name: sheet.secure ? "Secure" : "Not secure"
                    }
                    Text {
                        Layout.fillWidth: true
                        text: sheet.host
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.bodySize
                        color: Theme.text
                        elide: Text.ElideMiddle
                    }
                    ToolbarActivity { running: sheet.loading }
                }
            }
            HubButton {
                text: "Open in browser"
                iconName: "web-browser"
                help: "Finish paying in your default browser instead"
                onClicked: sheet.hub.openUrl(sheet.checkout.url)
            }
            HubButton {
                text: "Close"
                onClicked: sheet.checkout.close()
            }
        }

        Text {
            Layout.fillWidth: true
            text: sheet.checkout ? sheet.checkout.statusLine : ""
            font.family: Theme.fontFamily
            font.pixelSize: Theme.captionSize
            font.weight: Font.Medium
            color: text === "Payment failed" ? Theme.failure : Theme.secondaryText
            wrapMode: Text.WordWrap
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            radius: Theme.radius
            color: "white"
            clip: true
            WebEngineView {
                id: web
                anchors.fill: parent
                anchors.margins: 1
                profile: guard.profile
                url: sheet.checkout ? sheet.checkout.url : ""
                settings.javascriptEnabled: true
                settings.javascriptCanOpenWindows: true
                Accessible.role: Accessible.Document
                Accessible.name: "Payment page"
                onCertificateError: error => guard.judgeCertificate(error)
                onNewWindowRequested: request => sheet.openPopup(request)
            }
        }
    }

    // The payment services' own windows, each as its own window with the same guard.
    function openPopup(request) {
        if (!guard.allowsPopup(request.requestedUrl))
            return
        const window = popupWindow.createObject(sheet, { title: guard.hostOf(request.requestedUrl) || "Payment" })
        request.openIn(window.view)
        popups = popups.concat([window])
        window.show()
        window.raise()
        window.requestActivate()
    }
    function closePopup(window) {
        popups = popups.filter(w => w !== window)
        window.close()
        window.destroy()
    }
    Component {
        id: popupWindow
        Window {
            id: popup
            property alias view: popupView
            width: 520
            height: 680
            color: "white"
            WebEngineView {
                id: popupView
                anchors.fill: parent
                profile: guard.profile
                settings.javascriptEnabled: true
                settings.javascriptCanOpenWindows: true
                onCertificateError: error => guard.judgeCertificate(error)
                onNewWindowRequested: request => sheet.openPopup(request)
                onWindowCloseRequested: sheet.closePopup(popup)
                Accessible.role: Accessible.Document
                Accessible.name: "Payment"
            }
        }
    }
    Component.onDestruction: popups.forEach(window => window.destroy())
}
