import QtQuick
import Ostrel.Hub

// The heading of a sidebar group; the first group has none, and Account's row lives in the
// footer, so only named groups shown in the list get one.
Item {
    id: header
    required property string section
    readonly property bool shown: section.length > 0 && section !== "Account"

    implicitHeight: shown ? title.implicitHeight + 22 : 0
    visible: shown

    Text {
        id: title
        text: header.section
        font.family: Theme.fontFamily
        font.pixelSize: Theme.captionSize
        font.weight: Font.DemiBold
        color: Theme.tertiaryText
        anchors.left: parent.left
        anchors.leftMargin: 22
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 6
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }
}
