import QtQuick
import Ostrel.Hub

// The store's products that cost nothing, as a grid of tiles.
Rectangle {
    id: free
    property var hub
    color: Theme.window

    ProductGrid {
        id: grid
        anchors.fill: parent
        focus: true
        hub: free.hub
        accessibleName: "Free downloads"
        model: free.hub ? free.hub.freeProducts : null
        header: GridHeader {
            width: grid.width - grid.leftMargin - grid.rightMargin
            title: "Free downloads"
        }
    }
}
