import QtQuick
import Ostrel.Hub

// The frame of a row in a screen's list: a separator under the text (not under the icon), and
// the row scrolled into view when the keyboard reaches one of its controls.
FocusScope {
    id: row
    // Where the text starts, past the padding and the icon.
    property real textInset: Theme.padding + 44 + 14

    onActiveFocusChanged: {
        const list = ListView.view
        if (activeFocus && list)
            list.positionViewAtIndex(list.indexAt(x + 1, y + 1), ListView.Contain)
    }

    Rectangle {
        anchors.bottom: parent.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: row.textInset
        anchors.rightMargin: Theme.padding
        height: 1
        color: Theme.separator
    }
}
