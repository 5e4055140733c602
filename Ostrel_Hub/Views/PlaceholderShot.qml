import QtQuick
import Ostrel.Hub

// A screenshot's frame before its picture arrives: a soft tinted panel with a few quiet shapes
// where a window's content would be.
Rectangle {
    id: shot
    property string key
    property string productName

    radius: Theme.radius
    color: tint.color
    clip: true
    Accessible.role: Accessible.Graphic
    Accessible.name: productName + " preview placeholder"

    TileTint { id: tint; key: shot.key }

    Column {
        anchors.fill: parent
        anchors.margins: Math.round(shot.height * 0.1)
        spacing: Math.round(shot.height * 0.06)
        opacity: 0.55
        Rectangle { width: parent.width * 0.45; height: Math.max(6, shot.height * 0.07); radius: height / 2; color: tint.glyph }
        Rectangle { width: parent.width * 0.8; height: Math.max(4, shot.height * 0.04); radius: height / 2; color: tint.glyph; opacity: 0.6 }
        Rectangle { width: parent.width * 0.65; height: Math.max(4, shot.height * 0.04); radius: height / 2; color: tint.glyph; opacity: 0.6 }
        Row {
            spacing: Math.round(shot.height * 0.06)
            Repeater {
                model: 3
                Rectangle {
                    width: shot.height * 0.28
                    height: shot.height * 0.28
                    radius: width / 2
                    color: "transparent"
                    border.width: Math.max(2, shot.height * 0.02)
                    border.color: tint.glyph
                    opacity: 0.7
                }
            }
        }
    }
}
