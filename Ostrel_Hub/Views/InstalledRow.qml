import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// One installed product in the Updates screen's list of what is on this machine.
FocusScope {
    id: row
    property var hub
    property string productId
    property string name
    property string iconUrl
    property string version

    implicitHeight: layout.implicitHeight + 2 * 10
    onActiveFocusChanged: {
        const list = ListView.view
        if (activeFocus && list)
            list.positionViewAtIndex(list.indexAt(x + 1, y + 1), ListView.Contain)
    }

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

    Rectangle {
        anchors.bottom: parent.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: Theme.padding + 32 + 14
        anchors.rightMargin: Theme.padding
        height: 1
        color: Theme.separator
    }
}
