import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// One line of a settings card: what it is on the left, its value or control on the right.
// Put the control (if any) inside; otherwise `value` is shown as text.
RowLayout {
    id: row
    property string title
    property string value
    default property alias control: slot.data

    spacing: Theme.spacing * 2
    Layout.fillWidth: true
    Layout.leftMargin: 16
    Layout.rightMargin: 16
    Layout.minimumHeight: 44

    Text {
        Layout.fillWidth: true
        Layout.minimumWidth: Math.min(implicitWidth, 96)
        text: row.title
        font.family: Theme.fontFamily
        font.pixelSize: Theme.bodySize
        color: Theme.text
        verticalAlignment: Text.AlignVCenter
        wrapMode: Text.WordWrap
        maximumLineCount: 3
        elide: Text.ElideRight
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
    Text {
        visible: row.value.length > 0
        // Its whole width when there is room; a long value gives way (elided in the middle).
        Layout.preferredWidth: implicitWidth
        Layout.maximumWidth: implicitWidth
        text: row.value
        font.family: Theme.fontFamily
        font.pixelSize: Theme.bodySize
        color: Theme.secondaryText
        horizontalAlignment: Text.AlignRight
        elide: Text.ElideMiddle
        Accessible.role: Accessible.StaticText
        Accessible.name: row.title + " " + text
    }
    Item {
        id: slot
        visible: children.length > 0
        implicitWidth: childrenRect.width
        implicitHeight: childrenRect.height
    }
}
