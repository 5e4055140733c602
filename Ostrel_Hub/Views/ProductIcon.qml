import QtQuick
import Ostrel.Hub

// A product's icon over its tinted rounded square; the generic package glyph until the
// picture arrives.
Rectangle {
    id: frame
    property string key
    property string iconUrl
    property int size: 64
    // The app model's icon palette, for a tint that matches the icon; optional.
    property var palette: null

    width: size
    height: size
    radius: Math.round(size * 0.22)
    color: tint.color
    Accessible.ignored: true

    TileTint { id: tint; key: frame.key; iconUrl: frame.iconUrl; palette: frame.palette }
    Loader {
        anchors.centerIn: parent
        active: !picture.ready
        sourceComponent: Icon {
            name: "package-x-generic"
            size: Math.round(frame.size * 0.46)
            color: tint.glyph
        }
    }
    CachedImage {
        id: picture
        anchors.fill: parent
        visible: frame.iconUrl.length > 0
        url: frame.iconUrl
        maxPixels: Math.round(frame.size * 2)
        radius: frame.radius
        // The tinted frame and its glyph underneath stand in until the picture arrives.
        placeholder: Component { Item {} }
    }
}
