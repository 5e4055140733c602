import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// The "Information" block of a page: label and value rows on a card. A row with `link` set
// opens that address when activated.
ColumnLayout {
    id: block
    property var hub
    // [{ label, value, link }]
    property var rows: []

    spacing: 12

    Text {
        text: "Information"
        font.family: Theme.fontFamily
        font.pixelSize: Theme.titleSize * 0.8
        font.weight: Font.Bold
        color: Theme.text
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }
    Rectangle {
        Layout.fillWidth: true
        implicitHeight: list.implicitHeight + 8
        radius: Theme.radius + 2
        color: Theme.card

        ColumnLayout {
            id: list
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.topMargin: 4
            spacing: 0
            Repeater {
                model: block.rows
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 0
                    Rectangle {
                        visible: index > 0
                        Layout.fillWidth: true
                        Layout.leftMargin: 16
                        Layout.preferredHeight: 1
                        color: Theme.separator
                    }
                    RowLayout {
                        Layout.fillWidth: true
                        Layout.margins: 12
                        Layout.leftMargin: 16
                        Layout.rightMargin: 16
                        spacing: 16
                        Text {
                            text: modelData.label
                            font.family: Theme.fontFamily
                            font.pixelSize: Theme.bodySize
                            color: Theme.secondaryText
                            Layout.preferredWidth: Math.max(120, Theme.bodySize * 10)
                            Layout.alignment: Qt.AlignTop
                            wrapMode: Text.WordWrap
                        }
                        Text {
                            visible: !modelData.link
                            text: modelData.value
                            font.family: Theme.fontFamily
                            font.pixelSize: Theme.bodySize
                            color: Theme.text
                            wrapMode: Text.Wrap
                            horizontalAlignment: Text.AlignRight
                            Layout.fillWidth: true
                            Accessible.role: Accessible.StaticText
                            Accessible.name: modelData.label + ": " + modelData.value
                        }
                        Item {
                            visible: !!modelData.link
                            Layout.fillWidth: true
                        }
                        // Sized from its own address, not from the block's width (still 0 when
                        // the row is first laid out, which left only "…"); whole pixels up so a
                        // rounding never cuts it, and shortened only when the row is too narrow.
                        SeeAllButton {
                            visible: !!modelData.link
                            Layout.topMargin: -6
                            Layout.bottomMargin: -6
                            text: modelData.value
                            Layout.alignment: Qt.AlignRight
                            Layout.fillWidth: true
                            Layout.preferredWidth: Math.ceil(implicitWidth)
                            Layout.maximumWidth: Math.ceil(implicitWidth)
                            accessibleName: modelData.label + ": " + modelData.value
                            onClicked: Qt.openUrlExternally(modelData.link)
                        }
                    }
                }
            }
        }
    }
}
