import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// A setting on a card: what it does in a line and a sentence, and a switch at the right end.
// The whole card toggles; Space and Return too.
Basic.Switch {
    id: control
    property string detail
    focusPolicy: Qt.StrongFocus
    hoverEnabled: true
    padding: 16
    spacing: 16
    font.family: Theme.fontFamily
    font.pixelSize: Theme.bodySize
    Accessible.role: Accessible.CheckBox
    Accessible.name: text
    Accessible.description: detail
    Accessible.checked: checked
    Keys.onReturnPressed: toggle(), toggled()
    Keys.onEnterPressed: toggle(), toggled()

    indicator: Rectangle {
        x: control.width - width - control.rightPadding
        y: (control.height - height) / 2
        implicitWidth: 42
        implicitHeight: 24
        radius: height / 2
        color: control.checked ? Theme.accent : Theme.separator
        Rectangle {
            x: control.checked ? parent.width - width - 3 : 3
            anchors.verticalCenter: parent.verticalCenter
            width: parent.height - 6
            height: width
            radius: width / 2
            color: "#FFFFFF"
            Behavior on x { NumberAnimation { duration: 120 } }
        }
    }
    contentItem: ColumnLayout {
        spacing: 3
        Text {
            Layout.fillWidth: true
            Layout.rightMargin: control.indicator.width + control.spacing
            text: control.text
            font.family: Theme.fontFamily
            font.pixelSize: Theme.bodySize
            font.weight: Font.DemiBold
            color: Theme.text
            wrapMode: Text.WordWrap
        }
        Text {
            Layout.fillWidth: true
            Layout.rightMargin: control.indicator.width + control.spacing
            visible: text.length > 0
            text: control.detail
            font.family: Theme.fontFamily
            font.pixelSize: Theme.captionSize
            color: Theme.secondaryText
            wrapMode: Text.WordWrap
        }
    }
    background: Rectangle {
        radius: Theme.radius
        color: control.hovered ? Theme.cardHover : Theme.card
        FocusRing { visible: control.visualFocus; radius: parent.radius }
    }
}
