import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// A scrolling page column, centred and no wider than reads comfortably, that keeps whatever
// the keyboard focuses in view.
Flickable {
    id: page
    default property alias content: column.data
    property real maxColumnWidth: 980
    property real sideMargin: Theme.padding
    property alias spacing: column.spacing

    contentWidth: width
    contentHeight: column.implicitHeight + 2 * Theme.padding
    boundsBehavior: Flickable.StopAtBounds
    Basic.ScrollBar.vertical: Basic.ScrollBar { policy: Basic.ScrollBar.AsNeeded }

    ColumnLayout {
        id: column
        x: Math.max(page.sideMargin, (page.width - width) / 2)
        y: Theme.padding
        width: Math.min(page.width - 2 * page.sideMargin, page.maxColumnWidth)
        spacing: 32
    }

    function reveal(item) {
        const at = item.mapToItem(column, 0, 0)
        if (at.y < contentY)
            contentY = Math.max(0, at.y - Theme.padding)
        else if (at.y + item.height > contentY + height)
            contentY = Math.min(contentHeight - height, at.y + item.height - height + Theme.padding)
    }
    function holds(item) {
        for (let at = item; at; at = at.parent)
            if (at === column)
                return true
        return false
    }
    Connections {
        target: page.Window.window
        function onActiveFocusItemChanged() {
            const item = page.Window.activeFocusItem
            if (item && page.visible && page.holds(item))
                page.reveal(item)
        }
    }
}
