import QtQuick
import Ostrel.Hub

// One screenshot: its placeholder until the picture is ready. `loaded` tells whether the picture
// is showing.
Item {
    id: frame
    property string url
    property string key
    property string productName
    property int maxPixels: 1600
    readonly property bool loaded: picture.ready

    PlaceholderShot {
        anchors.fill: parent
        visible: !picture.ready
        key: frame.key
        productName: frame.productName
    }
    CachedImage {
        id: picture
        anchors.fill: parent
        url: frame.url
        maxPixels: frame.maxPixels
        radius: Theme.radius
        fillMode: Image.PreserveAspectFit
        placeholder: Component { Item {} }
    }
}
