import QtQuick
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// The hub's push button: prominent (accent fill) or plain, with an optional leading icon.
// Its accessible name is its visible title, or `accessibleName` for an icon-only button.
Basic.Button {
    id: button
    property bool prominent: false
    property string iconName
    property string accessibleName: text
    property string help

    focusPolicy: Qt.StrongFocus
    font.family: Theme.fontFamily
    font.pixelSize: Theme.bodySize
    font.weight: prominent ? Font.DemiBold : Font.Medium
    padding: 6
    leftPadding: text.length > 0 ? 14 : 8
    rightPadding: text.length > 0 ? 14 : 8
    hoverEnabled: true
    Accessible.role: Accessible.Button
    Accessible.name: accessibleName
    Accessible.description: help
    Basic.ToolTip.visible: help.length > 0 && hovered
    Basic.ToolTip.text: help
    Basic.ToolTip.delay: 600

    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    contentItem: Row {
        spacing: 6
        Loader {
            active: button.iconName.length > 0
            visible: active
            anchors.verticalCenter: parent.verticalCenter
            sourceComponent: Icon {
                name: button.iconName
                size: Math.round(button.font.pixelSize * 1.15)
                color: button.prominent ? Theme.accentText : (button.enabled ? Theme.text : Theme.tertiaryText)
            }
        }
        Text {
            visible: button.text.length > 0
            text: button.text
            font: button.font
            color: button.prominent ? Theme.accentText : (button.enabled ? Theme.text : Theme.tertiaryText)
            anchors.verticalCenter: parent.verticalCenter
            elide: Text.ElideRight
        }
    }
    background: Rectangle {
        implicitHeight: Math.max(28, button.font.pixelSize * 2.1)
        radius: height / 2
        color: button.prominent
               ? (button.down ? Qt.darker(Theme.accent, 1.2) : button.hovered ? Qt.lighter(Theme.accent, 1.08) : Theme.accent)
               : (button.down ? Theme.separator : button.hovered ? Theme.cardHover : Theme.card)
        opacity: button.enabled ? 1 : 0.55
        Loader {
            anchors.fill: parent
            active: button.visualFocus
            sourceComponent: FocusRing { radius: button.background.radius }
        }
    }
}
