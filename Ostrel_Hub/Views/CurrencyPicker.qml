import QtQuick
import QtQuick.Controls.Basic as Basic
import Ostrel.Hub

// "Prices in": the store's enabled currencies; choosing one sets the app model's currency,
// which every price on screen follows.
Basic.ComboBox {
    id: picker
    property var hub
    readonly property string current: hub ? hub.currency : ""

    model: hub ? hub.availableCurrencies : []
    enabled: count > 1
    currentIndex: indexOfCurrent()
    function indexOfCurrent() {
        return model ? model.indexOf(current) : -1
    }
    onActivated: function(index) {
        const code = textAt(index)
        currentIndex = Qt.binding(indexOfCurrent)
        if (hub && code.length > 0)
            hub.currency = code
    }

    focusPolicy: Qt.StrongFocus
    hoverEnabled: true
    font.family: Theme.fontFamily
    font.pixelSize: Theme.bodySize
    implicitWidth: Math.max(112, implicitContentWidth + leftPadding + rightPadding)
    leftPadding: 12
    rightPadding: 12 + indicator.width + spacing
    topPadding: 6
    bottomPadding: 6
    Accessible.role: Accessible.ComboBox
    Accessible.name: "Prices in"
    Accessible.description: displayText
    Keys.onReturnPressed: popup.open()
    Keys.onEnterPressed: popup.open()

    contentItem: Text {
        text: picker.displayText
        font: picker.font
        color: picker.enabled ? Theme.text : Theme.tertiaryText
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    indicator: Icon {
        x: picker.width - width - 10
        y: (picker.height - height) / 2
        name: "go-next"
        rotation: 90
        size: Math.round(picker.font.pixelSize * 0.9)
        color: picker.enabled ? Theme.secondaryText : Theme.tertiaryText
    }
    background: Rectangle {
        radius: 8
        color: picker.hovered && picker.enabled ? Theme.cardHover : Theme.field
        border.width: 1
        border.color: Theme.separator
        FocusRing { visible: picker.visualFocus; radius: 10 }
    }
    delegate: Basic.ItemDelegate {
        id: choice
        required property int index
        required property string modelData
        width: picker.width
        text: modelData
        highlighted: picker.highlightedIndex === index
        font: picker.font
        Accessible.role: Accessible.ListItem
        Accessible.name: modelData
        contentItem: Text {
            text: choice.text
            font.family: choice.font.family
            font.pixelSize: choice.font.pixelSize
            font.weight: choice.text === picker.current ? Font.DemiBold : Font.Normal
            color: choice.highlighted ? Theme.accentText : Theme.text
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            radius: 6
            color: choice.highlighted ? Theme.accent : "transparent"
        }
    }
    popup: Basic.Popup {
        y: picker.height + 4
        width: picker.width
        implicitHeight: Math.min(contentItem.implicitHeight + 8, 320)
        padding: 4
        contentItem: ListView {
            clip: true
            implicitHeight: contentHeight
            model: picker.popup.visible ? picker.delegateModel : null
            currentIndex: picker.highlightedIndex
            boundsBehavior: Flickable.StopAtBounds
        }
        background: Rectangle {
            radius: 8
            color: Theme.card
            border.width: 1
            border.color: Theme.separator
        }
    }
}
