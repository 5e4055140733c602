import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// A labelled field of the review sheet: one line, or several for the review's text. What is
// typed goes out through `edited`; `text` follows the owner's value.
ColumnLayout {
    id: field
    property string label
    property string placeholder
    property string text
    property bool multiline: false
    readonly property Item input: multiline ? area : line
    signal edited(string text)

    spacing: 6

    Text {
        text: field.label
        font.family: Theme.fontFamily
        font.pixelSize: Theme.captionSize
        font.weight: Font.DemiBold
        color: Theme.secondaryText
    }
    Basic.TextField {
        id: line
        visible: !field.multiline
        Layout.fillWidth: true
        text: field.text
        placeholderText: field.placeholder
        placeholderTextColor: Theme.tertiaryText
        color: Theme.text
        selectionColor: Theme.selection
        selectedTextColor: Theme.text
        font.family: Theme.fontFamily
        font.pixelSize: Theme.bodySize
        leftPadding: 10
        rightPadding: 10
        activeFocusOnTab: field.visible && !field.multiline
        Accessible.role: Accessible.EditableText
        Accessible.name: field.label
        Accessible.description: field.placeholder
        onTextEdited: field.edited(text)
        background: Rectangle {
            implicitHeight: Math.max(32, line.font.pixelSize * 2.4)
            radius: 8
            color: Theme.field
            border.width: line.activeFocus ? 2 : 1
            border.color: line.activeFocus ? Theme.focusRing : Theme.separator
        }
    }
    Basic.ScrollView {
        visible: field.multiline
        Layout.fillWidth: true
        Layout.fillHeight: true
        Layout.minimumHeight: Theme.bodySize * 6
        Basic.TextArea {
            id: area
            text: field.text
            placeholderText: field.placeholder
            placeholderTextColor: Theme.tertiaryText
            color: Theme.text
            selectionColor: Theme.selection
            selectedTextColor: Theme.text
            font.family: Theme.fontFamily
            font.pixelSize: Theme.bodySize
            wrapMode: TextEdit.Wrap
            textFormat: TextEdit.PlainText
            padding: 10
            activeFocusOnTab: field.visible && field.multiline
            Accessible.role: Accessible.EditableText
            Accessible.name: field.label
            Accessible.multiLine: true
            onTextChanged: if (text !== field.text) field.edited(text)
            // Tab moves on to the next field instead of typing a tab.
            Keys.onTabPressed: event => { nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason) }
            Keys.onBacktabPressed: event => { nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason) }
            background: Rectangle {
                radius: 8
                color: Theme.field
                border.width: area.activeFocus ? 2 : 1
                border.color: area.activeFocus ? Theme.focusRing : Theme.separator
            }
        }
    }
}
