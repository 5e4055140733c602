import QtQuick
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// Products as an aligned, virtualised grid of tiles. Tab enters the grid; the arrow keys move
// between tiles (a whole row up or down) and Return or Space opens the focused one.
GridView {
    id: grid
    property var hub
    property string accessibleName
    // The delegate reads product roles by default; extras lists set this.
    property bool extras: false

    readonly property int columns: keys.columns
    // The width tiles and the gaps between them may use; each cell carries its gap on the right,
    // which the right margin leaves room for.
    readonly property real inner: width - 2 * Theme.padding

    leftMargin: Theme.padding
    rightMargin: Theme.padding - Theme.tileSpacing
    bottomMargin: Theme.padding
    cellWidth: Math.floor((inner + Theme.tileSpacing) / columns)
    cellHeight: Theme.tileHeight + Theme.tileSpacing
    keyNavigationEnabled: false
    currentIndex: keys.currentIndex
    activeFocusOnTab: count > 0
    boundsBehavior: Flickable.StopAtBounds
    reuseItems: true
    cacheBuffer: 400
    Accessible.role: Accessible.List
    Accessible.name: accessibleName
    Basic.ScrollBar.vertical: Basic.ScrollBar { policy: Basic.ScrollBar.AsNeeded }

    KeyboardGrid {
        id: keys
        width: grid.inner
        spacing: Theme.tileSpacing
        tileWidth: Theme.tileWidth
        count: grid.count
        onCurrentIndexChanged: if (currentIndex >= 0) grid.positionViewAtIndex(currentIndex, GridView.Contain)
    }

    Keys.onPressed: (event) => { event.accepted = keys.press(event.key) }
    onActiveFocusChanged: {
        if (activeFocus && keys.currentIndex < 0 && count > 0)
            keys.currentIndex = 0
        if (activeFocus)
            keys.keyboardActive = true
    }

    delegate: FocusScope {
        width: grid.cellWidth
        height: grid.cellHeight
        focus: GridView.isCurrentItem
        ProductTile {
            width: parent.width - Theme.tileSpacing
            height: parent.height - Theme.tileSpacing
            focus: true
            standalone: false
            ringAllowed: keys.keyboardActive
            hub: grid.hub
            productId: grid.extras ? "" : (model.productId || "")
            extraId: grid.extras ? (model.itemId || "") : ""
            name: (grid.extras ? model.title : model.name) || ""
            tagline: (grid.extras ? model.summary : model.tagline) || ""
            iconUrl: model.iconUrl || ""
            badge: grid.extras ? (model.kindTitle || "") : ""
        }
    }
}
