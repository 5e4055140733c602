import QtQuick
import Ostrel.Hub

// A symbolic icon by its freedesktop.org name, tinted; decorative unless given a name.
Image {
    id: icon
    property string name
    property color color: Theme.text
    property int size: 16

    width: size
    height: size
    sourceSize: Qt.size(size * Screen.devicePixelRatio, size * Screen.devicePixelRatio)
    source: name.length > 0 ? "image://icon/" + name + "?color=" + encodeURIComponent(color.toString()) : ""
    fillMode: Image.PreserveAspectFit
    smooth: true
    Accessible.ignored: true
}
