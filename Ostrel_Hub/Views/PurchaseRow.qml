import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// One purchase of the Ostrel ID's history: the product, when and for whom, and "Gift" when
// someone gave it.
RowLayout {
    id: row
    required property string productName
    required property string date
    required property string licensee
    required property bool gifted

    spacing: 12

    AccountLines {
        first: row.productName
        second: [row.date, row.licensee].filter(part => part.length > 0).join(" · ")
        Layout.fillWidth: true
    }
    Rectangle {
        visible: row.gifted
        radius: height / 2
        color: Theme.selection
        implicitWidth: giftText.implicitWidth + 18
        implicitHeight: giftText.implicitHeight + 6
        Text {
            id: giftText
            anchors.centerIn: parent
            text: "Gift"
            font.family: Theme.fontFamily
            font.pixelSize: Theme.captionSize
            font.weight: Font.DemiBold
            color: Theme.accent
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }
}
