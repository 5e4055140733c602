import QtQuick
import Ostrel.Hub

// A result's icon in a rounded square; a generic package shows until the icon arrives.
Rectangle {
    id: frame
    property string url

    implicitWidth: Math.round(Theme.bodySize * 3.3)
    implicitHeight: implicitWidth
    radius: Math.round(width * 0.24)
    color: Theme.cardHover
    border.width: 1
    border.color: Theme.separator
    clip: true
    Accessible.ignored: true

    Icon {
        anchors.centerIn: parent
        visible: !image.ready
        name: "package-x-generic"
        size: Math.round(frame.width * 0.5)
        color: Theme.tertiaryText
    }
    CachedImage {
        id: image
        anchors.fill: parent
        url: frame.url
        maxPixels: 128
        radius: frame.radius
        tint: "transparent"
    }
}
