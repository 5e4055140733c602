import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// The products the user saved for later, as tiles, with a way to put them all in the cart.
Rectangle {
    id: view
    property var hub
    color: Theme.window

    readonly property var saved: hub ? hub.wishlistProducts : null
    readonly property int savedCount: saved ? saved.count : 0

    function addAllToCart() {
        for (let row = 0; row < saved.count; ++row)
            hub.addToCart(saved.productIdAt(row))
    }

    // Measures a tile so the grid's rows fit it at any text size.
    ProductTile {
        id: sizer
        visible: false
    }

    GridView {
        id: grid
        objectName: "wishlistGrid"
        anchors.fill: parent
        anchors.leftMargin: Theme.padding - Theme.tileSpacing / 2
        anchors.rightMargin: Theme.padding - Theme.tileSpacing / 2
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        // Until the user scrolls, the top of the screen stays in view while its header grows.
        property bool scrolled: false
        onMovementStarted: scrolled = true
        function keepTop() {
            if (!scrolled)
                positionViewAtBeginning()
        }
        model: view.saved
        cellWidth: Theme.tileWidth + Theme.tileSpacing
        cellHeight: sizer.implicitHeight + Theme.tileSpacing
        Basic.ScrollBar.vertical: Basic.ScrollBar {}

        header: Item {
            width: grid.width
            onHeightChanged: Qt.callLater(grid.keepTop)
            height: top.implicitHeight + Theme.padding + 20
            RowLayout {
                id: top
                x: Theme.tileSpacing / 2
                y: Theme.padding
                width: parent.width - Theme.tileSpacing
                spacing: 12
                ScreenHeader {
                    Layout.fillWidth: true
                    title: "Wishlist"
                    caption: view.savedCount > 0 ? view.savedCount + " saved" : ""
                }
                HubButton {
                    Layout.alignment: Qt.AlignBottom
                    visible: view.savedCount > 0
                    text: "Add all " + view.savedCount + " to cart"
                    iconName: "list-add"
                    prominent: true
                    onClicked: view.addAllToCart()
                }
            }
        }
        footer: Item { width: grid.width; height: Theme.padding }

        delegate: Item {
            width: grid.cellWidth
            height: grid.cellHeight
            ProductTile {
                anchors.horizontalCenter: parent.horizontalCenter
                width: Theme.tileWidth
                hub: view.hub
                productId: model.productId
                name: model.name
                tagline: model.tagline
                iconUrl: model.iconUrl
            }
        }
    }

    EmptyState {
        anchors.centerIn: parent
        width: Math.min(parent.width - 2 * Theme.padding, 460)
        visible: view.savedCount === 0
        iconName: "emblem-favorite"
        title: "Your wishlist is empty"
        message: "Tap the heart on any product to keep it here for later."
        actionTitle: "Browse Discover"
        onAction: view.hub.selectSection(HubSection.HubSection.discover)
    }
}
