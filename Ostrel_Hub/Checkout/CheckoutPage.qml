import QtQuick
import QtQuick.Controls.Basic as Basic
import QtQuick.Layouts
import QtQuick.Window
import QtWebEngine
import Ostrel.Checkout
import Ostrel.Hub

// The checkout sheet: the store's payment page in a private web view, with the padlock and the
// page's host, the order's status, "Open in browser" and "Close". Which pages, frames, windows,
// downloads and certificates the view accepts is the guard's decision (C++), not this file's.
// The page has the model's pageLoadTimeout to arrive; after that the sheet says the store
// cannot be reached and offers another try.
Rectangle {
    id: sheet
    property var hub
    readonly property var checkout: hub ? hub.checkout : null
    readonly property var web: webLoader.item
    // The page's state, as the web view reports it. The padlock closes only once a page has
    // finished with nothing but secure content, so an address still loading never shows as safe;
    // a new address or insecure content opens it at once.
    property string host: ""
    property bool secure: false
    readonly property bool loading: web ? web.loading : false
    property var popups: []

    color: Theme.window
    radius: Theme.radius + 4
    focus: true
    Keys.onEscapePressed: sheet.checkout.close()

    CheckoutGuard {
        id: guard
        objectName: "checkoutGuard"
        rules: sheet.checkout ? sheet.checkout.webRules : ({})
        returnUrl: sheet.checkout ? sheet.checkout.returnUrl : ""
        onReturned: sheet.checkout.markReturned()
        onRefused: url => sheet.checkout.noteRefused(url)
        // Insecure content takes the padlock away at once, not only when the page finishes.
        onInsecureContentChanged: if (insecureContent) sheet.secure = false
    }
    // A new address keeps the padlock only if it was already closed; a finished page decides.
    function notePage(url, finished) {
        host = guard.hostOf(url)
        secure = guard.isSecure(url) && (finished || secure)
    }
    Timer {
        id: pageLoad
        interval: sheet.checkout ? sheet.checkout.pageLoadTimeout : 0
        running: !!sheet.checkout && sheet.checkout.active
        onTriggered: sheet.checkout.markUnreachable(true)
    }
    function tryAgain() {
        sheet.checkout.markUnreachable(false)
        pageLoad.restart()
        sheet.web.reload()
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
                    Basic.BusyIndicator {
                        Layout.preferredWidth: Math.round(Theme.bodySize * 1.3)
                        Layout.preferredHeight: Layout.preferredWidth
                        running: sheet.loading
                        visible: running
                        Accessible.role: Accessible.Animation
                        Accessible.name: "Loading"
                    }
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
            // Made once the guard has its profile: a view made earlier would start the engine
            // on its default profile.
            Loader {
                id: webLoader
                anchors.fill: parent
                anchors.margins: 1
                active: guard.profile !== null
                visible: !(sheet.checkout && sheet.checkout.unreachable)
                sourceComponent: WebEngineView {
                    objectName: "paymentPage"
                    profile: guard.profile
                    url: sheet.checkout ? sheet.checkout.url : ""
                    settings.javascriptEnabled: true
                    settings.javascriptCanOpenWindows: true
                    Accessible.role: Accessible.Document
                    Accessible.name: "Payment page"
                    onCertificateError: error => guard.judgeCertificate(error)
                    onNewWindowRequested: request => sheet.openPopup(request)
                    onUrlChanged: sheet.notePage(url, false)
                    onLoadingChanged: request => {
                        if (request.status === WebEngineView.LoadStartedStatus)
                            return
                        sheet.notePage(url, true)
                        if (request.status === WebEngineView.LoadSucceededStatus)
                            pageLoad.stop()
                    }
                }
            }
            Rectangle {
                anchors.fill: parent
                radius: Theme.radius
                color: Theme.window
                visible: !webLoader.visible
                EmptyState {
                    anchors.centerIn: parent
                    width: Math.min(parent.width - 48, 480)
                    iconName: "network-wireless-offline"
                    title: "Store unavailable"
                    message: "Could not reach the Ostrel store."
                    actionTitle: "Try Again"
                    onAction: sheet.tryAgain()
                }
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
