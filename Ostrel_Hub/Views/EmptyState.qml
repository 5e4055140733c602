import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// A calm, centred message for a screen with nothing to show: icon, title, explanation and an
// optional button.
ColumnLayout {
    id: empty
    property string iconName
    property string title
    property string message
    property string actionTitle
    signal action()

    spacing: 10
    Icon {
        Layout.alignment: Qt.AlignHCenter
        visible: empty.iconName.length > 0
        name: empty.iconName
        size: 44
        color: Theme.tertiaryText
    }
    Text {
        Layout.alignment: Qt.AlignHCenter
        Layout.maximumWidth: 460
        text: empty.title
        visible: text.length > 0
        font.family: Theme.fontFamily
        font.pixelSize: Theme.headlineSize
        font.weight: Font.DemiBold
        color: Theme.text
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }
    Text {
        Layout.alignment: Qt.AlignHCenter
        Layout.maximumWidth: 460
        text: empty.message
        visible: text.length > 0
        font.family: Theme.fontFamily
        font.pixelSize: Theme.bodySize
        color: Theme.secondaryText
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
    HubButton {
        Layout.alignment: Qt.AlignHCenter
        Layout.topMargin: 6
        visible: empty.actionTitle.length > 0
        text: empty.actionTitle
        prominent: true
        onClicked: empty.action()
    }
}
