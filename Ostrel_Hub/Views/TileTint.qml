import QtQuick
import Ostrel.Hub

// A calm, stable background colour for a product's icon, derived from its identifier so the
// same product always wears the same tint.
QtObject {
    property string key
    readonly property real hue: {
        let sum = 0
        for (let i = 0; i < key.length; ++i)
            sum = (sum * 31 + key.charCodeAt(i)) % 360
        return sum / 360
    }
    readonly property color color: Qt.hsla(hue, Theme.dark ? 0.32 : 0.55, Theme.dark ? 0.30 : 0.88, 1)
    readonly property color strong: Qt.hsla(hue, Theme.dark ? 0.45 : 0.55, Theme.dark ? 0.22 : 0.78, 1)
    readonly property color glyph: Qt.hsla(hue, Theme.dark ? 0.55 : 0.5, Theme.dark ? 0.78 : 0.38, 1)
}
