import QtQuick
import QtQuick.Controls.Basic as Basic
import QtQuick.Layouts
import Ostrel.Hub

// One search result: icon, title, a line under it and an optional tag. Click, Return or
// Space opens it.
Basic.AbstractButton {
    id: row
    property string title
    property string subtitle
    property string imageUrl
    property string tag
    signal opened()

    focusPolicy: Qt.StrongFocus
    hoverEnabled: true
    padding: 10
    Accessible.role: Accessible.Button
    Accessible.name: title
    Accessible.description: subtitle
    Keys.onReturnPressed: opened()
    Keys.onEnterPressed: opened()
    onClicked: opened()

    contentItem: RowLayout {
        spacing: 14
        SearchResultIcon {
            url: row.imageUrl
            Layout.alignment: Qt.AlignVCenter
        }
        ColumnLayout {
            spacing: 2
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            Text {
                text: row.title
                font.family: Theme.fontFamily
                font.pixelSize: Theme.bodySize
                font.weight: Font.DemiBold
                color: Theme.text
                elide: Text.ElideRight
                Layout.fillWidth: true
                Accessible.ignored: true
            }
            Text {
                text: row.subtitle
                visible: text.length > 0
                font.family: Theme.fontFamily
                font.pixelSize: Theme.captionSize
                color: Theme.secondaryText
                elide: Text.ElideRight
                maximumLineCount: 2
                wrapMode: Text.WordWrap
                Layout.fillWidth: true
                Accessible.ignored: true
            }
        }
        Rectangle {
            visible: row.tag.length > 0
            radius: height / 2
            color: Theme.selection
            implicitWidth: tagText.implicitWidth + 16
            implicitHeight: tagText.implicitHeight + 6
            Layout.alignment: Qt.AlignVCenter
            Text {
                id: tagText
                anchors.centerIn: parent
                text: row.tag
                font.family: Theme.fontFamily
                font.pixelSize: Theme.captionSize
                font.weight: Font.Medium
                color: Theme.accent
                Accessible.ignored: true
            }
        }
        Icon {
            name: "go-next"
            size: Math.round(Theme.bodySize * 1.1)
            color: Theme.tertiaryText
            Layout.alignment: Qt.AlignVCenter
        }
    }

    background: Rectangle {
        radius: Theme.radius
        color: row.down ? Theme.separator : row.hovered ? Theme.cardHover : Theme.card
        Behavior on color { ColorAnimation { duration: 120 } }
        FocusRing { visible: row.visualFocus }
    }
}
