import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// The head of a detail page: the large icon, the name and its line, and the page's buttons
// (given as children) underneath.
RowLayout {
    id: head
    property string key
    property string iconUrl
    property string title
    property string subtitle
    default property alias buttons: buttonRow.data

    spacing: 28

    ProductIcon {
        Layout.alignment: Qt.AlignTop
        key: head.key
        iconUrl: head.iconUrl
        size: 128
    }
    ColumnLayout {
        Layout.fillWidth: true
        Layout.alignment: Qt.AlignVCenter
        spacing: 6
        Text {
            text: head.title
            font.family: Theme.fontFamily
            font.pixelSize: Theme.largeTitleSize
            font.weight: Font.Bold
            color: Theme.text
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Text {
            visible: text.length > 0
            text: head.subtitle
            font.family: Theme.fontFamily
            font.pixelSize: Theme.headlineSize
            color: Theme.secondaryText
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
        }
        Flow {
            id: buttonRow
            Layout.fillWidth: true
            Layout.topMargin: 12
            spacing: 10
        }
    }
}
