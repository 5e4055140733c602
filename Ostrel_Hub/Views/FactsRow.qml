import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// A product's key facts side by side: a small capitalised label over each value, separated by
// thin rules.
Rectangle {
    id: facts
    // [{ label, value, detail }]
    property var items: []

    implicitHeight: row.implicitHeight + 28
    radius: Theme.radius + 2
    color: Theme.card

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.margins: 14
        spacing: 0
        Repeater {
            model: facts.items
            RowLayout {
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                spacing: 0
                Rectangle {
                    visible: index > 0
                    Layout.preferredWidth: 1
                    Layout.fillHeight: true
                    color: Theme.separator
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 4
                    Accessible.role: Accessible.StaticText
                    Accessible.name: modelData.label + ": " + modelData.value
                    Text {
                        text: modelData.label
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.captionSize
                        font.weight: Font.DemiBold
                        font.letterSpacing: 0.6
                        color: Theme.tertiaryText
                        horizontalAlignment: Text.AlignHCenter
                        Layout.fillWidth: true
                        elide: Text.ElideRight
                    }
                    Text {
                        text: modelData.value
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.headlineSize
                        font.weight: Font.DemiBold
                        color: Theme.text
                        horizontalAlignment: Text.AlignHCenter
                        Layout.fillWidth: true
                        wrapMode: Text.Wrap
                        maximumLineCount: 2
                        elide: Text.ElideRight
                    }
                    Text {
                        visible: text.length > 0
                        text: modelData.detail || ""
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.captionSize
                        font.strikeout: false
                        color: Theme.secondaryText
                        horizontalAlignment: Text.AlignHCenter
                        Layout.fillWidth: true
                        elide: Text.ElideRight
                    }
                }
            }
        }
    }
}
