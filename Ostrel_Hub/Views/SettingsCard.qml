import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// A rounded card holding settings rows, a hairline between each two.
Rectangle {
    id: card
    default property alias rows: column.data

    Layout.fillWidth: true
    implicitHeight: column.implicitHeight + 8
    radius: Theme.radius
    color: Theme.card

    ColumnLayout {
        id: column
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.topMargin: 4
        spacing: 0
    }
}
