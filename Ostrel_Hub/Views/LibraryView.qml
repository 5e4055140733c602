import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// Everything the user owns on the store, filtered by whether it is installed, each product
// with its state and actions. Signed out of both accounts it asks to sign in; with only the
// Ostrel ID it asks to connect the store account the downloads come from.
Rectangle {
    id: view
    property var hub
    color: Theme.window

    readonly property bool signedIn: hub ? hub.signedIn : false
    readonly property var library: hub ? hub.library : null
    readonly property int ownedCount: hub ? hub.ownedProducts.count : 0
    readonly property int shownCount: library ? library.count : 0
    readonly property int filter: hub ? hub.libraryFilter : 0

    ScreenList {
        id: list
        objectName: "libraryList"
        anchors.fill: parent
        model: view.signedIn ? view.library : null

        header: Item {
            width: list.width
            onHeightChanged: Qt.callLater(list.keepTop)
            height: top.implicitHeight + Theme.padding + 12
            ColumnLayout {
                id: top
                x: Theme.padding
                y: Theme.padding
                width: parent.width - 2 * Theme.padding
                spacing: 16

                ScreenHeader {
                    Layout.fillWidth: true
                    title: "Library"
                    caption: "Your library lists everything you own on the Ostrel store, ready to install."
                }
                ConnectStoreCallout {
                    Layout.fillWidth: true
                    visible: view.hub ? (view.hub.ostrelSignedIn && !view.hub.storeConnected) : false
                    hub: view.hub
                }
                RowLayout {
                    Layout.fillWidth: true
                    visible: view.signedIn
                    spacing: 12
                    FilterPicker {
                        accessibleName: "Show"
                        choices: ["All", "Installed", "Not Installed"]
                        current: view.filter
                        onPicked: index => view.hub.libraryFilter = index
                    }
                    Item { Layout.fillWidth: true }
                    Text {
                        text: view.hub ? view.hub.libraryCountLine : ""
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.bodySize
                        color: Theme.secondaryText
                        Accessible.role: Accessible.StaticText
                        Accessible.name: text
                    }
                }
                Rectangle {
                    Layout.fillWidth: true
                    Layout.preferredHeight: 1
                    visible: view.signedIn && view.shownCount > 0
                    color: Theme.separator
                }
            }
        }

        delegate: LibraryRow {
            width: ListView.view.width
            hub: view.hub
            productId: model.productId
            name: model.name
            iconUrl: model.iconUrl
        }
    }

    // What stands where the rows would be when there are none.
    Item {
        anchors.fill: parent
        anchors.topMargin: list.headerItem ? list.headerItem.height : 0
        visible: !view.signedIn || view.shownCount === 0

        SignedOutPrompt {
            anchors.centerIn: parent
            width: Math.min(parent.width - 2 * Theme.padding, 460)
            visible: !view.signedIn
            hub: view.hub
            title: "Sign in to see your library"
            message: "Your Ostrel ID or your store account shows everything you own."
        }
        EmptyState {
            anchors.centerIn: parent
            width: Math.min(parent.width - 2 * Theme.padding, 460)
            visible: view.signedIn
            iconName: view.ownedCount === 0 ? "view-grid" : view.filter === 1 ? "folder-download" : "emblem-ok"
            title: view.ownedCount === 0 ? "Nothing here yet"
                 : view.filter === 1 ? "Nothing installed yet"
                 : "Everything you own is installed"
            message: view.ownedCount === 0
                     ? "Products you buy appear here. Purchases made with another email address can be linked to your Ostrel ID on the Ostrel ID website."
                     : view.filter === 1 ? "Install a product from your library and it shows here."
                     : "Choose All to see every product you own."
        }
    }
}
