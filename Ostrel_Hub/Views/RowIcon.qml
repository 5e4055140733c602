import QtQuick
import Ostrel.Hub

// A product's icon at the head of a list row, on a rounded plate that stays when the product
// has no icon or while it loads.
Rectangle {
    id: plate
    property string url
    property int size: 44
    width: size
    height: size
    radius: Math.round(size * 0.22)
    color: Theme.card
    border.width: 1
    border.color: Theme.separator
    Accessible.ignored: true

    Icon {
        anchors.centerIn: parent
        visible: plate.url.length === 0
        name: "package-x-generic"
        size: Math.round(plate.size * 0.5)
        color: Theme.tertiaryText
    }
    CachedImage {
        anchors.fill: parent
        anchors.margins: 1
        visible: plate.url.length > 0
        url: plate.url
        maxPixels: plate.size * 2
    }
}
