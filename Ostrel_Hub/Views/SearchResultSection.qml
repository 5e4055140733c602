import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// A titled group of search results.
ColumnLayout {
    id: section
    property string title
    default property alias content: body.data

    spacing: 10
    Layout.leftMargin: Theme.padding
    Layout.rightMargin: Theme.padding
    Layout.topMargin: 16

    Text {
        text: section.title
        font.family: Theme.fontFamily
        font.pixelSize: Theme.headlineSize
        font.weight: Font.DemiBold
        color: Theme.text
        Layout.fillWidth: true
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }
    ColumnLayout {
        id: body
        spacing: 0
        Layout.fillWidth: true
    }
}
