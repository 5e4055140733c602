import QtQuick
import Ostrel.Hub

// The visible keyboard focus ring drawn around a control or a tile.
Rectangle {
    anchors.fill: parent
    anchors.margins: -3
    color: "transparent"
    border.width: 2
    border.color: Theme.focusRing
    radius: 10
    Accessible.ignored: true
}
