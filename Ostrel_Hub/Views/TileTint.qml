import QtQuick
import Ostrel.Hub

// A calm background colour for a product's icon. With the icon palette at hand it follows the
// icon's own average colour; until that is known (or without a palette) it is derived from the
// identifier, so the same product always wears the same tint.
QtObject {
    id: tint
    property string key
    // The app model's icon palette and the icon it averages; both optional.
    property var palette: null
    property string iconUrl

    // Invalid until the palette has this icon's colour; the revision re-reads it when one arrives.
    readonly property var measured: palette && key.length > 0 && palette.revision >= 0 ? palette.colorFor(key)
                                                                                      : undefined
    readonly property bool known: measured !== undefined && measured.valid
    readonly property real derivedHue: {
        let sum = 0
        for (let i = 0; i < key.length; ++i)
            sum = (sum * 31 + key.charCodeAt(i)) % 360
        return sum / 360
    }
    // A grey icon has no hue of its own: keep its greyness rather than invent a colour.
    readonly property real hue: known ? Math.max(0, measured.hslHue) : derivedHue
    readonly property real chroma: known ? Math.min(1, measured.hslSaturation) : 1
    readonly property color color: Qt.hsla(hue, chroma * (Theme.dark ? 0.32 : 0.55), Theme.dark ? 0.30 : 0.88, 1)
    readonly property color strong: Qt.hsla(hue, chroma * (Theme.dark ? 0.45 : 0.55), Theme.dark ? 0.22 : 0.78, 1)
    readonly property color glyph: Qt.hsla(hue, chroma * (Theme.dark ? 0.55 : 0.5), Theme.dark ? 0.78 : 0.38, 1)

    function measure() {
        if (palette && key.length > 0 && iconUrl.length > 0 && !known)
            palette.load(key, iconUrl)
    }
    onPaletteChanged: measure()
    onIconUrlChanged: measure()
    onKeyChanged: measure()
}
