import QtQuick
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// A pop-up menu in the hub's colours, for the actions of one row. Escape closes it; the arrow
// keys move between its entries.
Basic.Menu {
    id: menu
    padding: 6
    margins: 8
    // Wide enough for the longest entry at any text size.
    implicitWidth: Math.round(Theme.bodySize * 24)

    background: Rectangle {
        implicitWidth: 240
        radius: Theme.radius
        color: Theme.field
        border.width: 1
        border.color: Theme.separator
    }
}
