import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// The title of a screen with its caption underneath.
ColumnLayout {
    property string title
    property string caption
    spacing: 4
    Text {
        text: parent.title
        font.family: Theme.fontFamily
        font.pixelSize: Theme.largeTitleSize
        font.weight: Font.Bold
        color: Theme.text
        Layout.fillWidth: true
        wrapMode: Text.WordWrap
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }
    Text {
        text: parent.caption
        visible: text.length > 0
        font.family: Theme.fontFamily
        font.pixelSize: Theme.bodySize
        color: Theme.secondaryText
        Layout.fillWidth: true
        wrapMode: Text.WordWrap
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
}
