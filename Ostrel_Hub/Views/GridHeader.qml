import QtQuick
import Ostrel.Hub

// A screen's title and caption at the head of a scrolling grid, with room above and below.
Item {
    id: head
    property string title
    property string caption
    implicitHeight: header.implicitHeight + Theme.padding * 1.75

    ScreenHeader {
        id: header
        y: Theme.padding
        width: parent.width
        title: head.title
        caption: head.caption
    }
}
