import QtQuick
import Ostrel.Hub

// The products of one kind ("plugIns" or "apps") as a grid of tiles.
Rectangle {
    id: browse
    property var hub
    property string kind: "plugIns"

    readonly property bool apps: kind === "apps"
    readonly property string title: apps ? "Apps" : "Plug-ins"
    color: Theme.window

    ProductGrid {
        id: grid
        anchors.fill: parent
        hub: browse.hub
        accessibleName: browse.title
        model: browse.hub ? (browse.apps ? browse.hub.apps : browse.hub.plugIns) : null
        header: GridHeader {
            width: grid.inner
            title: browse.title
            caption: browse.apps ? "For your Mac" : "VST3 and Audio Unit, for every Mac DAW"
        }
    }
}
