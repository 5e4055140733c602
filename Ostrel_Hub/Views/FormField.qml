import QtQuick
import QtQuick.Controls.Basic as Basic
import QtQuick.Layouts
import Ostrel.Hub

// A labelled text field of a form: the label above, the field named after it. Return submits.
ColumnLayout {
    id: formField
    property string label
    property alias text: input.text
    property alias echoMode: input.echoMode
    property alias inputMethodHints: input.inputMethodHints
    property alias field: input
    signal submitted()

    spacing: 5

    Text {
        text: formField.label
        font.family: Theme.fontFamily
        font.pixelSize: Theme.captionSize
        font.weight: Font.DemiBold
        color: Theme.secondaryText
        Layout.fillWidth: true
        Accessible.ignored: true
    }
    Basic.TextField {
        id: input
        Layout.fillWidth: true
        color: Theme.text
        selectionColor: Theme.selection
        selectedTextColor: Theme.text
        font.family: Theme.fontFamily
        font.pixelSize: Theme.bodySize
        leftPadding: 12
        rightPadding: 12
        topPadding: 7
        bottomPadding: 7
        activeFocusOnTab: true
        Accessible.role: Accessible.EditableText
        Accessible.name: formField.label
        Keys.onReturnPressed: formField.submitted()
        Keys.onEnterPressed: formField.submitted()
        background: Rectangle {
            implicitHeight: Math.max(32, input.font.pixelSize * 2.4)
            radius: 8
            color: Theme.field
            border.width: input.activeFocus ? 2 : 1
            border.color: input.activeFocus ? Theme.focusRing : Theme.separator
        }
    }
}
