pragma Singleton
import QtQuick
import Ostrel.Hub

// Colours, type and spacing of every screen, in the dark and the light appearance.
QtObject {
    readonly property bool dark: Appearance.dark

    readonly property color accent: dark ? "#8B87FF" : "#5B55E0"
    readonly property color accentText: "#FFFFFF"
    readonly property color window: dark ? "#1B1B1F" : "#FFFFFF"
    readonly property color sidebar: dark ? "#232328" : "#F3F3F6"
    readonly property color card: dark ? "#2A2A30" : "#F5F5F8"
    readonly property color cardHover: dark ? "#33333A" : "#ECECF1"
    readonly property color field: dark ? "#2F2F36" : "#FFFFFF"
    readonly property color separator: dark ? "#3A3A42" : "#E1E1E7"
    readonly property color text: dark ? "#F2F2F5" : "#1C1C21"
    readonly property color secondaryText: dark ? "#A3A3AD" : "#62626C"
    readonly property color tertiaryText: dark ? "#74747E" : "#8E8E98"
    readonly property color success: dark ? "#4CD07A" : "#1E9E50"
    readonly property color warning: dark ? "#FFB340" : "#C77800"
    readonly property color failure: dark ? "#FF6B61" : "#D93025"
    readonly property color focusRing: accent
    readonly property color selection: dark ? Qt.rgba(0.545, 0.53, 1, 0.22) : Qt.rgba(0.357, 0.333, 0.878, 0.14)
    readonly property color shadow: dark ? "#80000000" : "#26000000"

    // The application font's family, which the app sets to the hub's typeface before any window.
    readonly property string fontFamily: Qt.application.font.family
    // Sizes follow the application font so that a larger desktop font scales every screen.
    readonly property real baseSize: Qt.application.font.pixelSize > 0 ? Qt.application.font.pixelSize : 13
    readonly property real captionSize: Math.round(baseSize * 0.85)
    readonly property real bodySize: baseSize
    readonly property real headlineSize: Math.round(baseSize * 1.15)
    readonly property real titleSize: Math.round(baseSize * 1.6)
    readonly property real largeTitleSize: Math.round(baseSize * 2.2)

    readonly property int spacing: 8
    readonly property int padding: 24
    readonly property int radius: 10
    readonly property int tileWidth: 180
    // A product tile's height: its icon and button, a name line and two tagline lines, so that
    // it grows with the text size.
    readonly property int tileHeight: Math.round(bodySize * 2.1 + headlineSize * 1.4 + captionSize * 2.9 + 128)
    readonly property int tileSpacing: 16
    readonly property int sidebarWidth: 232
}
