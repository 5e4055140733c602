import QtQuick
import QtQuick.Layouts
import Ostrel.Hub

// One product as a card: icon on its tint, name, tagline and the product's button. The whole
// card opens the product with a click, Return or Space. Given `extraId` instead, it stands
// for a free tool or early-access item and opens that item's page.
FocusScope {
    id: tile
    property var hub
    property string productId
    property string name
    property string tagline
    property string iconUrl
    property string extraId
    property string badge
    // Grids take Tab themselves and move between tiles with the arrow keys.
    property bool standalone: true
    // Whether keyboard focus should show a ring (the grid turns this on once keys drive it).
    property bool ringAllowed: true

    readonly property bool isExtra: extraId.length > 0

    implicitWidth: Theme.tileWidth
    implicitHeight: Theme.tileHeight
    activeFocusOnTab: standalone
    Accessible.role: Accessible.Button
    Accessible.name: name
    Accessible.description: tagline
    Accessible.onPressAction: open()

    function open() {
        if (!hub)
            return
        if (isExtra)
            hub.showExtra(extraId)
        else
            hub.show(productId)
    }

    Keys.onReturnPressed: open()
    Keys.onEnterPressed: open()
    Keys.onSpacePressed: open()

    Rectangle {
        id: card
        anchors.fill: parent
        radius: Theme.radius + 4
        color: hover.containsMouse ? Theme.cardHover : Theme.card
        border.width: 1
        border.color: Theme.dark ? Qt.rgba(1, 1, 1, 0.04) : Qt.rgba(0, 0, 0, 0.05)
        Behavior on color { ColorAnimation { duration: 140 } }

        MouseArea {
            id: hover
            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: tile.open()
        }

        ColumnLayout {
            anchors.fill: parent
            anchors.margins: 14
            spacing: 6

            ProductIcon {
                key: tile.isExtra ? tile.extraId : tile.productId
                iconUrl: tile.iconUrl
                palette: tile.hub ? tile.hub.palette : null
                size: 64
                Layout.bottomMargin: 6
                scale: hover.containsMouse ? 1.04 : 1
                Behavior on scale { NumberAnimation { duration: 160; easing.type: Easing.OutCubic } }
            }
            Text {
                text: tile.name
                font.family: Theme.fontFamily
                font.pixelSize: Theme.headlineSize
                font.weight: Font.DemiBold
                color: Theme.text
                elide: Text.ElideRight
                maximumLineCount: 1
                Layout.fillWidth: true
            }
            Text {
                text: tile.tagline
                font.family: Theme.fontFamily
                font.pixelSize: Theme.captionSize
                color: Theme.secondaryText
                wrapMode: Text.WordWrap
                elide: Text.ElideRight
                maximumLineCount: 2
                lineHeight: 1.15
                Layout.fillWidth: true
            }
            Item { Layout.fillHeight: true }
            ActionButton {
                visible: !tile.isExtra
                hub: tile.hub
                productId: tile.isExtra ? "" : tile.productId
                takesFocus: tile.standalone
            }
            Text {
                visible: tile.isExtra && text.length > 0
                text: tile.badge
                font.family: Theme.fontFamily
                font.pixelSize: Theme.captionSize
                font.weight: Font.Medium
                color: Theme.accent
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
        }
    }
    Loader {
        anchors.fill: parent
        active: tile.activeFocus && tile.ringAllowed
        sourceComponent: FocusRing { radius: card.radius + 3 }
    }
}
