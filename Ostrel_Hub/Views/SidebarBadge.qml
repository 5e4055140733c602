import QtQuick
import Ostrel.Hub

// A small rounded count beside a sidebar row; hidden at zero.
Rectangle {
    id: badge
    property int count: 0
    // On the selected row the pill takes the accent colour.
    property bool emphasised: false
    readonly property string label: count > 99 ? "99+" : String(count)

    visible: count > 0
    implicitHeight: Math.round(Theme.captionSize * 1.6)
    implicitWidth: Math.max(implicitHeight, number.implicitWidth + 12)
    width: implicitWidth
    height: implicitHeight
    radius: height / 2
    color: emphasised ? Theme.accent : Theme.separator
    Accessible.role: Accessible.StaticText
    Accessible.name: label

    Text {
        id: number
        anchors.centerIn: parent
        text: badge.label
        font.family: Theme.fontFamily
        font.pixelSize: Theme.captionSize
        font.weight: Font.DemiBold
        color: badge.emphasised ? Theme.accentText : Theme.secondaryText
        Accessible.ignored: true
    }
}
