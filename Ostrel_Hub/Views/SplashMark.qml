import QtQuick
import Ostrel.Hub

// The hub's mark: a rounded tile in the accent colour holding a ring, with a dot circling the
// ring and a soft halo breathing behind the tile. `turn` (0 to 1) is one full cycle.
Item {
    id: mark
    property real turn: 0
    readonly property real breath: (1 - Math.cos(turn * 2 * Math.PI)) / 2

    implicitWidth: 132
    implicitHeight: 132
    Accessible.ignored: true

    Rectangle {
        anchors.centerIn: parent
        width: tile.width * (1.12 + 0.16 * mark.breath)
        height: width
        radius: width * 0.3
        color: Theme.accent
        opacity: 0.10 + 0.08 * (1 - mark.breath)
    }
    Rectangle {
        id: tile
        anchors.centerIn: parent
        width: 104
        height: 104
        radius: 28
        gradient: Gradient {
            GradientStop { position: 0; color: Qt.lighter(Theme.accent, 1.18) }
            GradientStop { position: 1; color: Qt.darker(Theme.accent, 1.18) }
        }

        Rectangle {
            id: ring
            anchors.centerIn: parent
            width: 54
            height: 54
            radius: width / 2
            color: "transparent"
            border.width: 7
            border.color: Theme.accentText
            opacity: 0.95
        }
        // The circling dot, on the ring's centre line.
        Rectangle {
            readonly property real angle: mark.turn * 2 * Math.PI - Math.PI / 2
            readonly property real orbit: (ring.width - ring.border.width) / 2
            width: 13
            height: 13
            radius: width / 2
            color: Theme.accentText
            border.width: 3
            border.color: Qt.darker(Theme.accent, 1.05)
            x: tile.width / 2 + orbit * Math.cos(angle) - width / 2
            y: tile.height / 2 + orbit * Math.sin(angle) - height / 2
        }
    }
}
