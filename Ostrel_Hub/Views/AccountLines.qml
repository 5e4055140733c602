import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// A name and the address under it, each left out when empty.
ColumnLayout {
    property string first
    property string second
    spacing: 2

    Text {
        text: parent.first
        visible: text.length > 0
        font.family: Theme.fontFamily
        font.pixelSize: Theme.bodySize
        font.weight: Font.DemiBold
        color: Theme.text
        elide: Text.ElideRight
        Layout.fillWidth: true
    }
    Text {
        text: parent.second
        visible: text.length > 0
        font.family: Theme.fontFamily
        font.pixelSize: Theme.bodySize
        color: Theme.secondaryText
        elide: Text.ElideRight
        Layout.fillWidth: true
    }
}
