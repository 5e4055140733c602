import QtQuick
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// A segmented picker: one choice of a few, shown side by side. `current` is the index of the
// chosen one; `picked(index)` asks to change it. Tab reaches the chosen segment, the arrow keys
// move between them.
Rectangle {
    id: picker
    property var choices: []
    property int current: 0
    property string accessibleName
    signal picked(int index)

    implicitWidth: segments.implicitWidth + 4
    implicitHeight: segments.implicitHeight + 4
    radius: height / 2
    color: Theme.card
    border.width: 1
    border.color: Theme.separator
    Accessible.role: Accessible.Grouping
    Accessible.name: accessibleName

    Row {
        id: segments
        anchors.centerIn: parent
        Repeater {
            id: repeater
            model: picker.choices
            Basic.AbstractButton {
                id: segment
                required property int index
                required property string modelData
                readonly property bool chosen: index === picker.current

                text: modelData
                checkable: true
                checked: chosen
                focusPolicy: Qt.StrongFocus
                activeFocusOnTab: chosen
                hoverEnabled: true
                font.family: Theme.fontFamily
                font.pixelSize: Theme.bodySize
                font.weight: chosen ? Font.DemiBold : Font.Normal
                leftPadding: 14
                rightPadding: 14
                topPadding: 5
                bottomPadding: 5
                Accessible.role: Accessible.RadioButton
                Accessible.name: text
                Accessible.checked: chosen

                onClicked: picker.picked(index)
                Keys.onReturnPressed: picker.picked(index)
                Keys.onEnterPressed: picker.picked(index)
                Keys.onLeftPressed: picker.step(index, -1)
                Keys.onRightPressed: picker.step(index, 1)

                contentItem: Text {
                    text: segment.text
                    font: segment.font
                    color: segment.chosen ? Theme.accentText : Theme.text
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
                background: Rectangle {
                    radius: height / 2
                    color: segment.chosen ? Theme.accent : segment.hovered ? Theme.cardHover : "transparent"
                    FocusRing { visible: segment.visualFocus; radius: parent.radius }
                }
            }
        }
    }

    // Arrow keys choose the neighbouring segment and keep the keyboard on it.
    function step(from, by) {
        const to = from + by
        if (to < 0 || to >= choices.length)
            return
        picked(to)
        const item = repeater.itemAt(to)
        if (item)
            item.forceActiveFocus(Qt.TabFocusReason)
    }
}
