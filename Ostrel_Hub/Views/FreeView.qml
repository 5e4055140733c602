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
        hub: free.hub
        accessibleName: "Free downloads"
        model: free.hub ? free.hub.freeProducts : null
        header: GridHeader {
            width: grid.inner
            title: "Free downloads"
        }
    }
}
