import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// One review: its title and stars, the text, who wrote it and when, "Edited" and
// "Verified purchase".
Rectangle {
    id: card
    property string title
    property int rating: 0
    property string body
    property string author
    property string dateText
    property bool edited: false
    property bool verifiedPurchase: false

    implicitHeight: column.implicitHeight + 2 * 16
    radius: Theme.radius
    color: Theme.card
    Accessible.role: Accessible.Grouping
    Accessible.name: card.title

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 16
        spacing: 6

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Text {
                Layout.fillWidth: true
                text: card.title
                textFormat: Text.PlainText
                font.family: Theme.fontFamily
                font.pixelSize: Theme.bodySize
                font.weight: Font.DemiBold
                color: Theme.text
                wrapMode: Text.WordWrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }
            Text {
                visible: text.length > 0
                text: card.dateText
                font.family: Theme.fontFamily
                font.pixelSize: Theme.captionSize
                color: Theme.tertiaryText
                Layout.alignment: Qt.AlignTop
            }
        }
        Stars {
            value: card.rating
            size: Math.round(Theme.captionSize * 1.1)
        }
        Text {
            Layout.fillWidth: true
            Layout.topMargin: 2
            text: card.body
            textFormat: Text.PlainText
            font.family: Theme.fontFamily
            font.pixelSize: Theme.bodySize
            lineHeight: 1.3
            color: Theme.text
            wrapMode: Text.Wrap
        }
        Item { Layout.fillHeight: true }
        Flow {
            Layout.fillWidth: true
            Layout.topMargin: 4
            spacing: 10
            Text {
                text: card.author
                textFormat: Text.PlainText
                font.family: Theme.fontFamily
                font.pixelSize: Theme.captionSize
                font.weight: Font.Medium
                color: Theme.secondaryText
            }
            Text {
                visible: card.edited
                text: "Edited"
                font.family: Theme.fontFamily
                font.pixelSize: Theme.captionSize
                color: Theme.tertiaryText
            }
            Row {
                visible: card.verifiedPurchase
                spacing: 4
                Icon {
                    name: "emblem-ok"
                    size: Theme.captionSize
                    color: Theme.success
                    anchors.verticalCenter: parent.verticalCenter
                }
                Text {
                    text: "Verified purchase"
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.captionSize
                    color: Theme.success
                }
            }
        }
    }
}
