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
    readonly property bool loaded: false

    PlaceholderShot {
        anchors.fill: parent
        key: frame.key
        productName: frame.productName
    }
}
