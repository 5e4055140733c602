import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// A rounded card on the Account screen: a title, an optional status pill and its content.
Rectangle {
    id: card
    property string title
    property string status
    // The status reads as good news (accent) or as a plain fact.
    property bool positive: false
    default property alias content: body.data

    implicitHeight: column.implicitHeight + 2 * 18
    radius: Theme.radius
    color: Theme.card
    border.width: 1
    border.color: Theme.separator

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 18
        spacing: 12

        RowLayout {
            spacing: 10
            Layout.fillWidth: true
            Text {
                text: card.title
                font.family: Theme.fontFamily
                font.pixelSize: Theme.headlineSize
                font.weight: Font.DemiBold
                color: Theme.text
                elide: Text.ElideRight
                Layout.fillWidth: true
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            Rectangle {
                visible: card.status.length > 0
                radius: height / 2
                color: card.positive ? Theme.selection : Theme.cardHover
                implicitWidth: statusText.implicitWidth + 18
                implicitHeight: statusText.implicitHeight + 6
                Text {
                    id: statusText
                    anchors.centerIn: parent
                    text: card.status
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.captionSize
                    font.weight: Font.DemiBold
                    color: card.positive ? Theme.accent : Theme.secondaryText
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }
        }
        ColumnLayout {
            id: body
            spacing: 10
            Layout.fillWidth: true
        }
    }
}
