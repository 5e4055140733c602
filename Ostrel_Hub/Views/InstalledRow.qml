import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// One installed product in the Updates screen's list of what is on this machine.
ListRow {
    id: row
    property var hub
    property string productId
    property string name
    property string iconUrl
    property string version
    textInset: Theme.padding + 32 + 14

    implicitHeight: layout.implicitHeight + 2 * 10

    RowLayout {
        id: layout
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        anchors.leftMargin: Theme.padding
        anchors.rightMargin: Theme.padding
        spacing: 14

        RowIcon {
            size: 32
            url: row.iconUrl
        }
        Text {
            Layout.fillWidth: true
            text: row.name
            font.family: Theme.fontFamily
            font.pixelSize: Theme.bodySize
            font.weight: Font.Medium
            color: Theme.text
            elide: Text.ElideRight
        }
        Text {
            text: row.version
            font.family: Theme.fontFamily
            font.pixelSize: Theme.bodySize
            color: Theme.secondaryText
        }
        ActionButton {
            hub: row.hub
            productId: row.productId
        }
    }
}
