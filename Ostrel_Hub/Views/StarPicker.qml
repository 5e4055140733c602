import QtQuick
import Ostrel.Hub

// Picks one to five stars: a click on a star, or the arrow keys (left and down take one away,
// right and up add one), Home for none and End for five. Says the rating's word beside it.
Item {
    id: picker
    property int rating: 0
    property string label
    property int size: Math.round(Theme.bodySize * 2)
    // A new rating from the keyboard or a click; the owner keeps it.
    signal picked(int rating)

    function pick(value) {
        const bounded = Math.max(0, Math.min(5, value))
        if (bounded !== rating)
            picked(bounded)
    }

    implicitWidth: row.implicitWidth + 8
    implicitHeight: row.implicitHeight + 8
    activeFocusOnTab: true
    Accessible.role: Accessible.Slider
    Accessible.name: picker.label
    Accessible.description: picker.rating + " out of 5 stars"

    Keys.onLeftPressed: pick(rating - 1)
    Keys.onDownPressed: pick(rating - 1)
    Keys.onRightPressed: pick(rating + 1)
    Keys.onUpPressed: pick(rating + 1)
    Keys.onPressed: event => {
        if (event.key === Qt.Key_Home) {
            pick(0)
            event.accepted = true
        } else if (event.key === Qt.Key_End) {
            pick(5)
            event.accepted = true
        } else if (event.key >= Qt.Key_1 && event.key <= Qt.Key_5) {
            pick(event.key - Qt.Key_0)
            event.accepted = true
        }
    }

    Row {
        id: row
        x: 4
        y: 4
        spacing: 14
        Row {
            spacing: 4
            anchors.verticalCenter: parent.verticalCenter
            Repeater {
                model: 5
                Icon {
                    required property int index
                    size: picker.size
                    name: picker.rating >= index + 1 ? "starred" : "non-starred"
                    color: picker.rating >= index + 1 ? Theme.warning : Theme.tertiaryText
                    MouseArea {
                        anchors.fill: parent
                        cursorShape: Qt.PointingHandCursor
                        onClicked: {
                            picker.forceActiveFocus(Qt.MouseFocusReason)
                            picker.pick(index + 1)
                        }
                    }
                }
            }
        }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: picker.label
            font.family: Theme.fontFamily
            font.pixelSize: Theme.bodySize
            font.weight: Font.Medium
            color: picker.rating > 0 ? Theme.text : Theme.secondaryText
        }
    }
    FocusRing {
        visible: picker.activeFocus
        radius: 8
    }
}
