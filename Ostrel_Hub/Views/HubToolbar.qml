import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// Above the detail column: back when a page is open, and on the right the cart and refresh,
// with a quiet spinner while the hub reloads.
Rectangle {
    id: toolbar
    property var hub

    readonly property var navigation: hub ? hub.navigation : null
    readonly property bool canGoBack: !!navigation && navigation.path.length > 0
    readonly property int cartCount: hub ? hub.cartCount : 0
    signal cartRequested()

    color: Theme.window
    implicitHeight: Math.max(52, Math.round(Theme.bodySize * 3.6))

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        spacing: Theme.spacing

        HubButton {
            visible: toolbar.canGoBack
            iconName: "go-previous"
            accessibleName: "Back"
            help: "Back"
            onClicked: toolbar.hub.goBack()
        }
        Item { Layout.fillWidth: true }

        ToolbarActivity {
            running: !!toolbar.hub && toolbar.hub.loading
            Layout.rightMargin: 4
        }
        HubButton {
            id: cart
            iconName: toolbar.cartCount > 0 ? "cart-full" : "cart"
            accessibleName: "Cart"
            help: "Cart"
            onClicked: toolbar.cartRequested()

            SidebarBadge {
                count: toolbar.cartCount
                emphasised: true
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.rightMargin: -4
                anchors.topMargin: -4
            }
        }
        HubButton {
            iconName: "view-refresh"
            accessibleName: "Refresh"
            help: "Reload the store and your library"
            onClicked: toolbar.hub.refresh()
        }
    }

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 1
        color: Theme.separator
    }
}
