import QtQuick
import Ostrel.Hub

// A quiet text button in the accent colour, for "See All" beside a shelf's title.
HubButton {
    id: link
    background: Rectangle {
        implicitHeight: Math.max(28, link.font.pixelSize * 2.1)
        radius: height / 2
        color: link.hovered ? Theme.selection : "transparent"
        FocusRing { visible: link.visualFocus; radius: parent.radius }
    }
    contentItem: Text {
        text: link.text
        font: link.font
        color: Theme.accent
        verticalAlignment: Text.AlignVCenter
        // Long addresses keep their start and end in view.
        elide: Text.ElideMiddle
    }
}
