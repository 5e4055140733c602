import QtQuick
import Ostrel.Hub

// A rating as five stars, rounded to the nearest half star.
Row {
    id: stars
    property real value: 0
    property int size: 14
    property color color: Theme.warning
    readonly property real halves: Math.round(Math.max(0, Math.min(5, value)) * 2) / 2

    spacing: Math.max(1, Math.round(size / 8))
    Accessible.role: Accessible.StaticText
    Accessible.name: stars.value.toFixed(1) + " out of 5 stars"

    Repeater {
        model: 5
        Icon {
            required property int index
            size: stars.size
            name: stars.halves >= index + 1 ? "starred" : stars.halves >= index + 0.5 ? "semi-starred" : "non-starred"
            color: stars.halves >= index + 0.5 ? stars.color : Theme.tertiaryText
        }
    }
}
