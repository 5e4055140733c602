import QtQuick
import Ostrel.Hub

// The heading of one part of a screen ("Available"), with an optional count beside it.
Row {
    id: heading
    property string title
    property string detail
    spacing: 8
    Text {
        id: titleText
        text: heading.title
        font.family: Theme.fontFamily
        font.pixelSize: Theme.headlineSize
        font.weight: Font.DemiBold
        color: Theme.text
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }
    Text {
        anchors.baseline: titleText.baseline
        visible: text.length > 0
        text: heading.detail
        font.family: Theme.fontFamily
        font.pixelSize: Theme.captionSize
        color: Theme.tertiaryText
    }
}
