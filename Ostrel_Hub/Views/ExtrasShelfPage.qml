import QtQuick
import Ostrel.Hub

// The free tools or the early-access items ("freeTools" / "earlyAccess") as tiles; each opens
// its own page.
Rectangle {
    id: shelfPage
    property var hub
    property string shelf: "freeTools"

    readonly property bool early: shelf === "earlyAccess"
    readonly property string title: early ? "Early Access" : "Free Tools"
    readonly property var items: hub ? (early ? hub.earlyAccess : hub.freeTools) : null
    color: Theme.window

    ProductGrid {
        id: grid
        anchors.fill: parent
        extras: true
        hub: shelfPage.hub
        accessibleName: shelfPage.title
        model: shelfPage.items
        header: GridHeader {
            width: grid.inner
            title: shelfPage.title
            caption: shelfPage.early ? "Games and tools still being built. Expect rough edges."
                                     : "Open source utilities from Ostrel, released on GitHub"
        }
    }
    EmptyState {
        anchors.centerIn: parent
        width: Math.min(parent.width - 2 * Theme.padding, 460)
        visible: grid.count === 0
        iconName: shelfPage.early ? "applications-science" : "applications-utilities"
        title: "Nothing here yet"
        message: shelfPage.title + " appear here as they are released."
    }
}
