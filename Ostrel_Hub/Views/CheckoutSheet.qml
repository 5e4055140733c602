import QtQuick
import Ostrel.Hub

// The checkout as a sheet over the window, while the model holds one. Its web view is loaded
// only then: nothing of the web engine starts before.
SheetFrame {
    id: sheet
    property var hub
    readonly property bool wanted: !!hub && hub.checkout.active
    preferredWidth: 960
    preferredHeight: 860
    onClosed: if (wanted) hub.checkout.close()
    contentItem: Loader {
        objectName: "checkoutSheet"
        active: sheet.wanted
        function load() {
            if (active)
                setSource("CheckoutView.qml", { hub: sheet.hub })
        }
        onActiveChanged: load()
        Component.onCompleted: load()
    }
}
