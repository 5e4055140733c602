import QtQuick
import Ostrel.Hub

// A product's icon on its tinted rounded square; the generic package glyph until the
// picture arrives.
Rectangle {
    id: frame
    property string key
    property string iconUrl
    property int size: 64

    width: size
    height: size
    radius: Math.round(size * 0.22)
    color: tint.color
    Accessible.ignored: true

    TileTint { id: tint; key: frame.key }
    Icon {
        anchors.centerIn: parent
        name: "package-x-generic"
        size: Math.round(frame.size * 0.46)
        color: tint.glyph
    }
}
